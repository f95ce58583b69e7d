#include "MessageBox.h"

#include "common/PrintableText.h"

MessageBox::Handler& MessageBox::handler()
{
    static Handler h;
    return h;
}

void MessageBox::setHandler(Handler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton MessageBox::show(const Request& asked)
{
    // Messages quote files and journals: their control characters are shown
    // escaped, and nothing in them is taken for markup.
    Request request = asked;
    request.text = PrintableText::of(asked.text);
    if (handler())
        return handler()(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

QMessageBox::StandardButton MessageBox::critical(QWidget* parent, const QString& title, const QString& text)
{
    return show({parent, QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::NoButton});
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    return show({parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::NoButton});
}

bool MessageBox::question(QWidget* parent, const QString& title, const QString& text)
{
    return show({parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No})
        == QMessageBox::Yes;
}
