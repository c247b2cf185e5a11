#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "link/MessageSink.h"

class QAbstractButton;
class QWidget;

namespace qx::ui {

// Moves values between a dialog's controls and its members, in one direction at a time,
// the way the dialog framework does it:
// - loading (saveAndValidate false) writes members into controls and never fails;
// - saving reads controls into members and validates them. The first control that fails
//   is handed with the framework's standard prompt to the exchange's prompter, and every
//   later call of the same exchange does nothing. The plain prompter shows the prompt at
//   once and then gives that control the focus (an edit also gets its text selected).
// A value that fails its range check has already been stored in its member: callers may
// go on with it (and clamp it themselves).
//
// Numbers are shown and parsed in the C locale: floats with 6 significant digits,
// doubles with 15, as "%.*g" does.
class DataExchange {
  public:
    // Shows the prompt for a value refused in `control`.
    using Prompter = std::function<void(QWidget* control, const QString& prompt)>;

    DataExchange(MessageSink& prompts, bool saveAndValidate);
    DataExchange(Prompter prompter, bool saveAndValidate);

    bool saving() const { return saving_; }
    bool failed() const { return failed_; }

    // The text of an edit, a static or a button.
    void text(QWidget* control, QString& value);
    // "Please enter an integer." when the text is not one.
    void text(QWidget* control, int& value);
    // "Please enter a number." when the text is not one.
    void text(QWidget* control, float& value);
    void text(QWidget* control, double& value);

    // Range checks of the value just exchanged; only when saving.
    // "Please enter an integer between %1 and %2."
    void minMax(int value, int minimum, int maximum);
    // "Please enter a number between %1 and %2."
    void minMax(float value, float minimum, float maximum);
    void minMax(double value, double minimum, double maximum);

    // A radio group: the index of the checked button, -1 when none is.
    void radio(const QList<QAbstractButton*>& group, int& index);

    // The prompts, exactly as the framework words them.
    static QString IntegerRangePrompt(int minimum, int maximum);
    static QString NumberRangePrompt(double minimum, double maximum, int significantDigits);
    static const char* const kIntegerPrompt;
    static const char* const kNumberPrompt;

    // Parsing and formatting as the exchange does them, for handlers that read edits
    // themselves.
    static bool ParseInteger(const QString& text, int& value);
    static bool ParseNumber(const QString& text, double& value);
    static QString FormatNumber(double value, int significantDigits);
    // Gives a refused control the focus; an edit also gets its text selected.
    static void FocusRefused(QWidget* control);

  private:
    bool begin(QWidget* control);
    void fail(const QString& prompt);

    Prompter prompter_;
    bool saving_;
    bool failed_ = false;
    QWidget* lastControl_ = nullptr;
};

}  // namespace qx::ui
