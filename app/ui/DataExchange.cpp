#include "app/ui/DataExchange.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/ui/AppInfo.h"

namespace qx::ui {

namespace {

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

// The text between leading and trailing blanks, as Latin-1 bytes.
QByteArray Trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin).toLatin1();
}

void SetControlText(QWidget* control, const QString& text) {
    control->setProperty("text", text);
}

QString ControlText(const QWidget* control) {
    return control->property("text").toString();
}

}  // namespace

const char* const DataExchange::kIntegerPrompt = "Please enter an integer.";
const char* const DataExchange::kNumberPrompt = "Please enter a number.";

DataExchange::DataExchange(MessageSink& prompts, bool saveAndValidate)
    : DataExchange(
          [&prompts](QWidget* control, const QString& prompt) {
              prompts.show(prompt.toStdString(), kAppTitle);
              FocusRefused(control);
          },
          saveAndValidate) {}

DataExchange::DataExchange(Prompter prompter, bool saveAndValidate)
    : prompter_(std::move(prompter)), saving_(saveAndValidate) {}

void DataExchange::FocusRefused(QWidget* control) {
    if (control == nullptr) {
        return;
    }
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    }
}

bool DataExchange::begin(QWidget* control) {
    if (failed_ || control == nullptr) {
        return false;
    }
    lastControl_ = control;
    return true;
}

void DataExchange::fail(const QString& prompt) {
    failed_ = true;
    prompter_(lastControl_, prompt);
}

void DataExchange::text(QWidget* control, QString& value) {
    if (!begin(control)) {
        return;
    }
    if (saving_) {
        value = ControlText(control);
    } else {
        SetControlText(control, value);
    }
}

void DataExchange::text(QWidget* control, int& value) {
    if (!begin(control)) {
        return;
    }
    if (!saving_) {
        SetControlText(control, QString::number(value));
        return;
    }
    int parsed = 0;
    if (!ParseInteger(ControlText(control), parsed)) {
        fail(QString::fromLatin1(kIntegerPrompt));
        return;
    }
    value = parsed;
}

void DataExchange::text(QWidget* control, float& value) {
    if (!begin(control)) {
        return;
    }
    if (!saving_) {
        SetControlText(control, FormatNumber(value, FLT_DIG));
        return;
    }
    double parsed = 0.0;
    if (!ParseNumber(ControlText(control), parsed)) {
        fail(QString::fromLatin1(kNumberPrompt));
        return;
    }
    value = static_cast<float>(parsed);
}

void DataExchange::text(QWidget* control, double& value) {
    if (!begin(control)) {
        return;
    }
    if (!saving_) {
        SetControlText(control, FormatNumber(value, DBL_DIG));
        return;
    }
    double parsed = 0.0;
    if (!ParseNumber(ControlText(control), parsed)) {
        fail(QString::fromLatin1(kNumberPrompt));
        return;
    }
    value = parsed;
}

void DataExchange::minMax(int value, int minimum, int maximum) {
    if (failed_ || !saving_) {
        return;
    }
    if (value < minimum || value > maximum) {
        fail(IntegerRangePrompt(minimum, maximum));
    }
}

void DataExchange::minMax(float value, float minimum, float maximum) {
    if (failed_ || !saving_) {
        return;
    }
    if (value < minimum || value > maximum) {
        fail(NumberRangePrompt(minimum, maximum, FLT_DIG));
    }
}

void DataExchange::minMax(double value, double minimum, double maximum) {
    if (failed_ || !saving_) {
        return;
    }
    if (value < minimum || value > maximum) {
        fail(NumberRangePrompt(minimum, maximum, DBL_DIG));
    }
}

void DataExchange::radio(const QList<QAbstractButton*>& group, int& index) {
    if (group.isEmpty() || !begin(group.front())) {
        return;
    }
    if (saving_) {
        index = -1;
        for (qsizetype i = 0; i < group.size(); ++i) {
            if (group[i]->isChecked()) {
                index = static_cast<int>(i);
                break;
            }
        }
        return;
    }
    for (qsizetype i = 0; i < group.size(); ++i) {
        group[i]->setChecked(i == index);
    }
}

QString DataExchange::IntegerRangePrompt(int minimum, int maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

QString DataExchange::NumberRangePrompt(double minimum, double maximum, int significantDigits) {
    return QStringLiteral("Please enter a number between %1 and %2.")
        .arg(FormatNumber(minimum, significantDigits), FormatNumber(maximum, significantDigits));
}

bool DataExchange::ParseInteger(const QString& text, int& value) {
    const QByteArray bytes = Trimmed(text);
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end) {
        return false;
    }
    // A 32-bit conversion saturates rather than wraps, so an over-long number reaches the
    // range check as the nearest limit.
    int64_t magnitude = 0;
    for (; p != end; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        magnitude = std::min<int64_t>(magnitude * 10 + (*p - '0'), int64_t{1} << 40);
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(std::clamp<int64_t>(signedValue, std::numeric_limits<int>::min(),
                                                 std::numeric_limits<int>::max()));
    return true;
}

bool DataExchange::ParseNumber(const QString& text, double& value) {
    QByteArray bytes = Trimmed(text);
    if (bytes.startsWith('+')) {
        bytes.remove(0, 1);
        if (bytes.startsWith('-') || bytes.startsWith('+')) {
            return false;
        }
    }
    if (bytes.isEmpty()) {
        return false;
    }
    double parsed = 0.0;
    const char* const end = bytes.constData() + bytes.size();
    const auto [ptr, ec] = std::from_chars(bytes.constData(), end, parsed);
    // Words such as "inf" and numbers beyond a double's range are no numbers here.
    if (ptr != end || ec != std::errc() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

QString DataExchange::FormatNumber(double value, int significantDigits) {
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value,
                                         std::chars_format::general, significantDigits);
    if (ec != std::errc()) {
        return QString::number(value);
    }
    return QString::fromLatin1(buffer, ptr - buffer);
}

}  // namespace qx::ui
