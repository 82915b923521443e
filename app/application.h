// The application object: its title and the general error report for any
// exception that escapes an event handler.
#pragma once

#include <QApplication>
#include <QString>

#include <functional>

extern const char* const kApplicationTitle; // "Varnelo"

// The message as the report shows it: a full stop appended when the last
// character sorts after ".".
QString GeneralErrorText(const QString& Message);

class TVarneloApplication : public QApplication {
    Q_OBJECT
public:
    TVarneloApplication(int& argc, char** argv);

    bool notify(QObject* Receiver, QEvent* Event) override;

    // Shows the report: error icon, the application title as caption. The
    // window in front stays usable afterwards.
    void ShowException(const QString& Message);

    // Replaces the message box, for tests; empty restores it.
    std::function<void(const QString& Title, const QString& Text)> OnShowException;
};
