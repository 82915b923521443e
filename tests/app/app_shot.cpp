// Shows the real main window on a folder with one file selected, for
// screenshots: prints "ready" once the preview is painted and keeps running
// until it is killed (at most a minute). With COMMENT, types it into the
// comment field after the load, as a user would.
//   app_shot FOLDER FILE [COMMENT]
#include "Unit1.h"
#include "ui_Unit1.h"

#include "appcontrols.h"
#include <QTextCursor>
#include "application.h"

#include <QDir>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

int main(int argc, char** argv)
{
    TVarneloApplication App(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: app_shot FOLDER FILE [COMMENT]\n");
        return 2;
    }
    const QString Folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString File = Folder + u'/' + QString::fromLocal8Bit(argv[2]);
    TOrvoScrivelUIform W(Folder);
    W.show();
    if (!QTest::qWaitForWindowExposed(&W, 10000))
        return std::fprintf(stderr, "window not shown\n"), 1;
    auto* M = W.ListModel();
    if (!QTest::qWaitFor([&] { return M->index(File).isValid(); }, 10000))
        return std::fprintf(stderr, "%s not listed\n", qPrintable(File)), 1;
    auto* Ui = W.Form();
    Ui->ShellListView1->setFocus();
    Ui->ShellListView1->setCurrentIndex(M->index(File));
    if (W.StatusText() != File)
        return std::fprintf(stderr, "%s did not load\n", qPrintable(File)), 1;
    if (argc == 4) {
        Ui->Memo1->setFocus();
        Ui->Memo1->moveCursor(QTextCursor::End);
        QTest::keyClicks(Ui->Memo1, QString::fromLocal8Bit(argv[3]));
    }
    QTest::qWait(500);
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(60000, &App, &QCoreApplication::quit);
    return App.exec();
}
