#include "application.h"

#include <QMessageBox>

#include <exception>

const char* const kApplicationTitle = "Varnelo";

QString GeneralErrorText(const QString& Message)
{
    if (!Message.isEmpty() && Message.back() > QChar(u'.'))
        return Message + u'.';
    return Message;
}

TVarneloApplication::TVarneloApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
}

bool TVarneloApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& E) {
        ShowException(QString::fromLocal8Bit(E.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
    return true;
}

void TVarneloApplication::ShowException(const QString& Message)
{
    const QString Title = QString::fromLatin1(kApplicationTitle);
    const QString Text = GeneralErrorText(Message);
    if (OnShowException) {
        OnShowException(Title, Text);
        return;
    }
    QMessageBox Box(QMessageBox::Critical, Title, Text, QMessageBox::Ok, activeWindow());
    Box.exec();
}
