#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// The one place where the program's message boxes are shown. Tests install a
// handler that answers instead of a user and sees what would have been shown.
class MessageBox
{
public:
    struct Request
    {
        QWidget* parent = nullptr;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    using Handler = std::function<QMessageBox::StandardButton(const Request&)>;

    // Shows the box modally (or asks the handler) and returns the button pressed.
    static QMessageBox::StandardButton show(const Request& request);

    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text);
    static bool question(QWidget* parent, const QString& title, const QString& text);

    // An empty handler restores the real boxes.
    static void setHandler(Handler handler);

private:
    static Handler& handler();
};
