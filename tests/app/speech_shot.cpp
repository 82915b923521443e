// Shows the real main window reading its comment aloud, for screenshots:
// prints "reading" once a word in the middle of the comment is selected and
// reading is paused there, then waits for a line on standard input, stops,
// opens the Configure menu as a left press on its button does and prints
// "menu"; after another line it moves to the menu's last item and prints
// "menu-end"; it keeps running until it is killed (at most a minute).
//   speech_shot FOLDER
#include "Unit1.h"
#include "ui_Unit1.h"

#include "appcontrols.h"
#include "application.h"

#include "spvoice.h"

#include <QDir>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    TVarneloApplication App(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: speech_shot FOLDER\n");
        return 2;
    }
    TOrvoScrivelUIform W(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    W.show();
    if (!QTest::qWaitForWindowExposed(&W, 10000))
        return std::fprintf(stderr, "window not shown\n"), 1;
    auto* Ui = W.Form();
    if (!W.SpeechVoice || !Ui->ToolButton1->isEnabled())
        return std::fprintf(stderr, "no speech synthesiser\n"), 1;
    Ui->Memo1->setPlainText(QStringLiteral("Small nodule in the right upper lobe, about 4 mm.\n"
                                           "Compare with the prior study."));
    int Words = 0;
    QObject::connect(W.SpeechVoice, &TSpVoice::OnWord, &W, [&](QObject*, int, qint64, int, int) {
        if (++Words == 5)
            QTest::mouseClick(Ui->ToolButton2, Qt::LeftButton); // Pause: the word stays selected
    });
    QTest::mouseClick(Ui->ToolButton1, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return Words >= 5 && Ui->ToolButton2->isEnabled() == false; }, 30000))
        return std::fprintf(stderr, "reading did not start\n"), 1;
    QTest::qWait(300);
    std::printf("reading %s\n", qPrintable(Ui->Memo1->textCursor().selectedText()));
    std::fflush(stdout);

    std::string Line;
    QTimer Poll;
    bool Go = false;
    std::thread([&] {
        std::getline(std::cin, Line);
        Go = true;
    }).detach();
    QTest::qWaitFor([&] { return Go; }, 30000);
    QTest::mouseClick(Ui->ToolButton3, Qt::LeftButton);
    QTest::mousePress(Ui->ToolButton5, Qt::LeftButton, {}, QPoint(10, 20));
    if (!QTest::qWaitFor([&] { return W.PopupMenu2()->isVisible(); }, 10000))
        return std::fprintf(stderr, "menu not shown\n"), 1;
    QTest::qWait(300);
    std::printf("menu\n");
    std::fflush(stdout);
    // Then the end of the menu: the recogniser's dialogs.
    Go = false;
    std::thread([&] {
        std::getline(std::cin, Line);
        Go = true;
    }).detach();
    QTest::qWaitFor([&] { return Go; }, 30000);
    QTest::keyClick(W.PopupMenu2(), Qt::Key_End);
    QTest::qWait(300);
    std::printf("menu-end\n");
    std::fflush(stdout);
    QTest::qWait(60000);
    return 0;
}
