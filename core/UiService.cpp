#include "core/UiService.h"

namespace halvorix {

QString normalizeLineBreaks(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

int MessageUi::msgBox(const QString &text, int style, const QString &title)
{
    MessageBoxRequest request;
    request.rawText = text;
    request.text = normalizeLineBreaks(text);
    request.style = style;
    request.title = title.isEmpty() ? applicationTitle_ : title;
    return showMessageBox(request);
}

} // namespace halvorix
