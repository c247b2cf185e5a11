#include "params/ui/ParamHelpBox.h"

#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace qx::ui {

void SetUpParamHelpBox(QTextEdit& box) {
    box.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box.setReadOnly(true);
    box.setAcceptRichText(false);
    box.setLineWrapMode(QTextEdit::WidgetWidth);
}

void ShowParamHelp(QTextEdit& box, const std::string& help) {
    QString text = QString::fromUtf8(help.data(), static_cast<qsizetype>(help.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setPlainText(text);
    // The bit tables are the lines whose first non-blank character is '-' or '|'.
    QTextDocument& document = *box.document();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString line = block.text().trimmed();
        if (line.startsWith(QLatin1Char('-')) || line.startsWith(QLatin1Char('|'))) {
            QTextBlockFormat format = block.blockFormat();
            format.setNonBreakableLines(true);
            QTextCursor(block).setBlockFormat(format);
        }
    }
}

}  // namespace qx::ui
