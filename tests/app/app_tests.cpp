// The main window, driven offscreen through its real models and views.
#include "Unit1.h"
#include "ui_Unit1.h"

#include "ansitext.h"
#include "appcontrols.h"
#include "commentlearner.h"
#include "learnedmodel.h"
#include "sprecocontext.h"
#include "application.h"
#include "dicomfiles.h"
#include "own_home.h"
#include "screencursor.h"

#include "GraphicControl1.h"
#include "charset.h"
#include "loader.h"

#include <QClipboard>
#include <QCursor>
#include <QSet>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMutex>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& Done, int Ms = 5000)
{
    return QTest::qWaitFor(Done, Ms);
}

// Runs Trigger (which opens a modal window and waits for it) while OnModal
// looks at the modal window once it is up and closes it. True when a modal
// window appeared.
bool WithModal(const std::function<void()>& Trigger, const std::function<void(QWidget*)>& OnModal)
{
    bool Seen = false;
    QTimer Poll;
    Poll.setInterval(10);
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        QWidget* M = QApplication::activeModalWidget();
        if (M && !Seen) {
            Seen = true;
            Poll.stop();
            OnModal(M);
        }
    });
    Poll.start();
    Trigger();
    Poll.stop();
    return Seen;
}

// Types a name into the file dialog's name field, as a user would.
void TypeFileName(QFileDialog* D, const QString& Name)
{
    // The pre-filled file is selected in the dialog's views once its folder
    // has loaded; a click on free space would drop that selection.
    for (auto* V : D->findChildren<QAbstractItemView*>())
        if (V->selectionModel())
            V->selectionModel()->clearSelection();
    auto* Edit = D->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(Edit, nullptr);
    Edit->setFocus();
    Edit->setText(Name);
    ASSERT_EQ(D->selectedFiles().value(0), Name);
}

bool AnyMessageBoxVisible()
{
    for (QWidget* W : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(W) && W->isVisible())
            return true;
    return false;
}

// The summary as lines, and for each line the number of bold characters at
// its start and whether any character after them is bold.
struct TLine {
    QString Text;
    int BoldHead = 0;
    bool BoldElsewhere = false;
};

std::vector<TLine> SummaryLines(QTextEdit* E)
{
    std::vector<TLine> Out;
    for (QTextBlock B = E->document()->begin(); B.isValid(); B = B.next()) {
        TLine L{B.text()};
        bool InHead = true;
        for (auto It = B.begin(); !It.atEnd(); ++It) {
            const QTextFragment F = It.fragment();
            const bool Bold = F.charFormat().fontWeight() >= QFont::Bold;
            if (Bold && InHead)
                L.BoldHead += F.length();
            else if (Bold)
                L.BoldElsewhere = true;
            else
                InHead = false;
        }
        if (!(Out.empty() && L.Text.isEmpty() && !B.next().isValid()))
            Out.push_back(L);
    }
    return Out;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        appfiles::TSpec CT;
        CT.Comment = "First line\r\nSecond \xE9t\xE9";
        Write("ct.dcm", appfiles::MakeCT(CT));
        appfiles::TSpec Multi;
        Multi.Frames = 3;
        Multi.PatientID = " ";    // a lone fill blank is a value
        Multi.Manufacturer = "";  // no element: no line
        Multi.BirthDate = "1980"; // too short: no line
        Write("multi.dcm", appfiles::MakeCT(Multi));
        appfiles::TSpec Deflated;
        Deflated.TransferSyntax = testgen::kDeflated;
        Write("deflated.dcm", appfiles::MakeCT(Deflated));
        testgen::Bytes Short = appfiles::MakeCT(CT);
        Short.resize(300); // inside the data set's elements
        Write("truncated.dcm", Short);
        Write("notes.txt", testgen::Bytes{'h', 'e', 'l', 'l', 'o'});
        QDir(Dir).mkdir(QStringLiteral("sub"));

        // The speech service's settings and what it learns: the test's own.
        ASSERT_TRUE(Config.isValid());
        OldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit());
        // Saves here are about the file; what a save teaches dictation is
        // tested on its own.
        SetSavedCommentsLearned(false);

        W = std::make_unique<TOrvoScrivelUIform>(Dir);
        W->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(W.get()));
        ASSERT_TRUE(WaitFor([&] { return ListRows() == 6; })) << ListRows();
        Ui = W->Form();
    }

    // The window goes before its folder.
    void TearDown() override
    {
        W.reset();
        qputenv("XDG_CONFIG_HOME", OldConfig);
    }

    void Write(const QString& Name, const testgen::Bytes& B) { testgen::WriteFile(Path(Name).toStdString(), B); }
    QString Path(const QString& Name) const { return Dir + u'/' + Name; }

    int ListRows() const
    {
        auto* M = W->ListModel();
        return M->rowCount(M->index(Dir));
    }

    QModelIndex Item(const QString& Name) const { return W->ListModel()->index(Path(Name)); }

    // One change notification with all of Names selected.
    void Select(const QStringList& Names)
    {
        QItemSelection S;
        for (const QString& N : Names)
            S.select(Item(N), Item(N));
        Ui->ShellListView1->selectionModel()->select(S, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    void ExpectCleared()
    {
        EXPECT_EQ(W->StatusText(), QString());
        EXPECT_TRUE(Ui->Image1->Picture().isNull());
        EXPECT_TRUE(Ui->RichEdit1->document()->isEmpty());
        EXPECT_TRUE(Ui->Memo1->toPlainText().isEmpty());
        EXPECT_FALSE(Ui->Label2->isEnabled());
        EXPECT_EQ(ScreenCursor(), crDefault);
        EXPECT_FALSE(AnyMessageBoxVisible());
    }

    const testgen::TempDir Scratch{"app"};
    const QString Dir = QString::fromStdString(Scratch.Path);
    QTemporaryDir Config;
    QByteArray OldConfig;
    std::unique_ptr<TOrvoScrivelUIform> W;
    Ui::TOrvoScrivelUIform* Ui = nullptr;
};

TEST_F(MainWindow, SelectingOneFileShowsPathSummaryCommentAndPreview)
{
    Select({QStringLiteral("ct.dcm")});
    EXPECT_EQ(W->StatusText(), Path(QStringLiteral("ct.dcm")));
    EXPECT_EQ(Ui->Memo1->toPlainText(), QStringLiteral("First line\nSecond \u00E9t\u00E9"));
    EXPECT_EQ(Ui->Image1->Picture().size(), QSize(48, 64));
    EXPECT_TRUE(Ui->Label2->isEnabled());
    EXPECT_EQ(ScreenCursor(), crDefault);

    const QLocale L = QLocale::system();
    const std::vector<QString> Expected = {
        QStringLiteral("Patient's Name: Doe^Jane"),
        QStringLiteral("Patient's ID: ID-0042 "), // odd lengths keep their fill blank
        QStringLiteral("Patient's Birth Date: ") + L.toString(QDate(1980, 1, 2), QLocale::ShortFormat),
        QStringLiteral("Modality: CT"),
        QStringLiteral("Manufacturer: Acme Scanners "),
        QStringLiteral("Instance Number: 7 "),
        QStringLiteral("Body Part Examined: CHEST "),
        QStringLiteral("Accession Number: ACC77 "),
        QStringLiteral("Referring Physician's Name: Smith^John"),
        QStringLiteral("Institution Name: General Hospital"),
        QStringLiteral("ContentDate: ") + L.toString(QDate(2024, 3, 5), QLocale::ShortFormat),
        QStringLiteral("Rows / Columns: 64 / 48"),
    };
    const auto Lines = SummaryLines(Ui->RichEdit1);
    ASSERT_EQ(Lines.size(), Expected.size());
    for (size_t I = 0; I < Lines.size(); ++I) {
        EXPECT_EQ(Lines[I].Text, Expected[I]) << I;
        EXPECT_EQ(Lines[I].BoldHead, Lines[I].Text.indexOf(QStringLiteral(": "))) << I;
        EXPECT_FALSE(Lines[I].BoldElsewhere) << I;
    }
}

// A 20000 x 20000 image whose file holds only its top twentieth (bright):
// the preview comes up in well under a second, bright at the top and black
// below, rather than after the seconds and gigabytes of turning the whole
// picture into 32-bit colour before scaling it.
TEST_F(MainWindow, AHugeImagePreviewsQuickly)
{
    testgen::DataSet D(false, false);
    D.US(0x0028, 0x0002, 1);
    D.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    D.US(0x0028, 0x0010, 20000);
    D.US(0x0028, 0x0011, 20000);
    D.US(0x0028, 0x0100, 8);
    D.US(0x0028, 0x0101, 8);
    D.US(0x0028, 0x0102, 7);
    D.AddRaw(0x7FE0, 0x0010, "OB", testgen::Bytes(size_t(20000) * 1000, 0xFF));
    Write(QStringLiteral("huge.dcm"), testgen::Part10(testgen::kExplicitLE, D));
    QElapsedTimer T;
    T.start();
    Select({QStringLiteral("huge.dcm")});
    ASSERT_EQ(Ui->Image1->Picture().size(), QSize(20000, 20000));
    const QImage Shown = Ui->Image1->grab().toImage();
    const qint64 Ms = T.elapsed();
    const QRect R = Ui->Image1->PictureRect();
    ASSERT_FALSE(R.isEmpty());
    EXPECT_GT(qGray(Shown.pixel(R.center().x(), R.top() + R.height() / 50)), 200) << "the held rows";
    EXPECT_LT(qGray(Shown.pixel(R.center().x(), R.center().y())), 50) << "the rest, zeros";
    EXPECT_LT(Ms, 3000);
}

TEST_F(MainWindow, MultiFrameFileHasFrameLineAndKeepsFillBlank)
{
    Select({QStringLiteral("multi.dcm")});
    ASSERT_EQ(W->StatusText(), Path(QStringLiteral("multi.dcm")));
    QStringList Texts;
    for (const auto& L : SummaryLines(Ui->RichEdit1))
        Texts << L.Text;
    EXPECT_EQ(Texts.last(), QStringLiteral("Frame: 1 of 3"));
    EXPECT_TRUE(Texts.contains(QStringLiteral("Patient's ID:   "))); // the value is two fill blanks
    for (const QString& T : Texts) {
        EXPECT_FALSE(T.startsWith(QStringLiteral("Manufacturer")));
        EXPECT_FALSE(T.startsWith(QStringLiteral("Patient's Birth Date")));
    }
    EXPECT_TRUE(Ui->Memo1->toPlainText().isEmpty());
}

TEST_F(MainWindow, RefusedSelectionsLeaveTheWindowClearedWithoutMessage)
{
    const std::vector<QStringList> Cases = {
        {QStringLiteral("ct.dcm"), QStringLiteral("multi.dcm")},
        {QStringLiteral("sub")},
        {QStringLiteral("notes.txt")},
        {QStringLiteral("deflated.dcm")},
        {QStringLiteral("truncated.dcm")},
        {},
    };
    for (const QStringList& C : Cases) {
        SCOPED_TRACE(C.join(u',').toStdString());
        Select({QStringLiteral("ct.dcm")});
        ASSERT_FALSE(W->StatusText().isEmpty());
        if (C.isEmpty())
            Ui->ShellListView1->selectionModel()->clearSelection();
        else
            Select(C);
        ExpectCleared();
    }
}

TEST_F(MainWindow, FolderChangeClearsAndListFollowsTree)
{
    Select({QStringLiteral("ct.dcm")});
    W->OpenFolder(Path(QStringLiteral("sub")));
    EXPECT_EQ(W->ListFolder(), Path(QStringLiteral("sub")));
    ExpectCleared();
    W->OpenFolder(Dir);
    EXPECT_EQ(W->ListFolder(), Dir);
    ASSERT_TRUE(WaitFor([&] { return ListRows() == 6; }));
    Select({QStringLiteral("ct.dcm")});
    EXPECT_EQ(W->StatusText(), Path(QStringLiteral("ct.dcm")));
}

TEST_F(MainWindow, RenamingTheShownFileInPlaceReloadsItUnderItsNewName)
{
    Select({QStringLiteral("ct.dcm")});
    ASSERT_EQ(W->StatusText(), Path(QStringLiteral("ct.dcm")));
    Ui->Memo1->setPlainText(QStringLiteral("edited, not saved"));
    ASSERT_TRUE(W->ListModel()->setData(Item(QStringLiteral("ct.dcm")), QStringLiteral("renamed.dcm")));
    ASSERT_TRUE(WaitFor([&] { return W->StatusText() == Path(QStringLiteral("renamed.dcm")); })) << W->StatusText().toStdString();
    EXPECT_EQ(Ui->Memo1->toPlainText(), QStringLiteral("First line\nSecond \u00E9t\u00E9"));
}

TEST_F(MainWindow, SaveCommentWithNothingShownDoesNothing)
{
    ASSERT_TRUE(Ui->Label2->isEnabled()); // as at start-up
    const bool Opened = WithModal([&] { Ui->Label2->click(); }, [](QWidget* M) { M->close(); });
    EXPECT_FALSE(Opened);
    EXPECT_EQ(Ui->Label2->FontColor(), clBlue);
    EXPECT_TRUE(W->ListChangeBound());
}

TEST_F(MainWindow, SaveCommentWritesTheCommentAndKeepsTheWindow)
{
    Select({QStringLiteral("ct.dcm")});
    const QString Target = Path(QStringLiteral("saved.dcm"));
    // A letter Windows-1252 lacks, in a file that names no character set:
    // the writer's error box, and nothing written.
    Ui->Memo1->setPlainText(QStringLiteral("Line one \u0142"));
    // The dialog closes before the writer's box comes up: one poll takes both.
    QString Refusal, Caption;
    QTimer Poll;
    Poll.setInterval(10);
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        QWidget* M = QApplication::activeModalWidget();
        if (auto* D = qobject_cast<QFileDialog*>(M)) {
            TypeFileName(D, Target);
            static_cast<QDialog*>(D)->accept();
        } else if (auto* Box = qobject_cast<QMessageBox*>(M)) {
            Caption = Box->windowTitle();
            Refusal = Box->text();
            Box->button(QMessageBox::Ok)->click();
        }
    });
    Poll.start();
    Ui->Label2->click();
    Poll.stop();
    EXPECT_EQ(Caption, QStringLiteral("Error"));
    EXPECT_EQ(Refusal, Target + QStringLiteral(" could not be written: the comment holds characters that the file's "
                                               "character set cannot store."));
    EXPECT_FALSE(QFileInfo::exists(Target));

    const QString Comment = QStringLiteral("Line one\nLigne deux: \u00E0 \u00E9 \u20AC ?");
    Ui->Memo1->setPlainText(Comment);
    bool BoundDuring = true;
    QColor ColourDuring;
    QString Prefilled;
    const bool Opened = WithModal([&] { Ui->Label2->click(); }, [&](QWidget* M) {
        auto* D = qobject_cast<QFileDialog*>(M);
        ASSERT_NE(D, nullptr);
        BoundDuring = W->ListChangeBound();
        ColourDuring = Ui->Label2->FontColor();
        Prefilled = D->selectedFiles().value(0);
        TypeFileName(D, Target);
        static_cast<QDialog*>(D)->accept();
    });
    ASSERT_TRUE(Opened);
    EXPECT_FALSE(BoundDuring);
    EXPECT_EQ(ColourDuring, clRed);
    EXPECT_EQ(Prefilled, Path(QStringLiteral("ct.dcm")));
    EXPECT_EQ(Ui->Label2->FontColor(), clPurple);
    EXPECT_TRUE(W->ListChangeBound());
    EXPECT_EQ(W->StatusText(), Path(QStringLiteral("ct.dcm")));
    EXPECT_EQ(Ui->Memo1->toPlainText(), Comment);
    EXPECT_EQ(ScreenCursor(), crDefault);

    dicom::TBitmap B;
    dicom::THeaderData H;
    ASSERT_TRUE(dicom::LoadDICOMFile(Target.toStdString(), B, H));
    const std::string Stored = "Line one\r\nLigne deux: \xE0 \xE9 \x80 ?";
    EXPECT_EQ(H.ImageComments.substr(0, Stored.size()), Stored);

    // Reloading shows the same comment, followed by the writer's trailer.
    ASSERT_TRUE(WaitFor([&] { return Item(QStringLiteral("saved.dcm")).isValid(); }));
    Select({QStringLiteral("saved.dcm")});
    ASSERT_EQ(W->StatusText(), Target);
    const QString Reloaded = Ui->Memo1->toPlainText();
    EXPECT_TRUE(Reloaded.startsWith(QStringLiteral("Line one\nLigne deux: \u00E0 \u00E9 \u20AC ?\n\n")))
        << Reloaded.toStdString();
}

// A UTF-8 file: summary and comment as its character set has them, and a
// comment of Greek, Cyrillic and Chinese stored back in UTF-8.
TEST_F(MainWindow, AUTF8FileIsShownAndSavedInUTF8)
{
    appfiles::TSpec Utf8;
    Utf8.Charset = "ISO_IR 192";
    Utf8.PatientName = "Wang^XiaoDong=\xe7\x8e\x8b^\xe5\xb0\x8f\xe6\x9d\xb1";
    Utf8.Institution = "H\xc3\xb4pital Z\xc3\xbcrich";
    Utf8.Comment = "\xce\x91\xce\xb2\r\n\xd0\x96";
    Write(QStringLiteral("utf8.dcm"), appfiles::MakeCT(Utf8));
    ASSERT_TRUE(WaitFor([&] { return Item(QStringLiteral("utf8.dcm")).isValid(); }));
    Select({QStringLiteral("utf8.dcm")});
    ASSERT_EQ(W->StatusText(), Path(QStringLiteral("utf8.dcm")));
    QStringList Texts;
    for (const auto& L : SummaryLines(Ui->RichEdit1))
        Texts << L.Text;
    EXPECT_TRUE(Texts.contains(QStringLiteral("Patient's Name: Wang^XiaoDong=\u738b^\u5c0f\u6771"))) << Texts.join(u'|').toStdString();
    EXPECT_TRUE(Texts.contains(QStringLiteral("Institution Name: H\u00f4pital Z\u00fcrich"))) << Texts.join(u'|').toStdString();
    EXPECT_EQ(Ui->Memo1->toPlainText(), QStringLiteral("\u0391\u03b2\n\u0416"));

    const QString Comment = QStringLiteral("\u03a9\u03bc\u03ad\u03b3\u03b1\n\u0416\u0443\u043a \u4e2d\u6587 \u00e9");
    Ui->Memo1->setPlainText(Comment);
    const QString Target = Path(QStringLiteral("utf8-saved.dcm"));
    ASSERT_TRUE(WithModal([&] { Ui->Label2->click(); }, [&](QWidget* M) {
        auto* D = qobject_cast<QFileDialog*>(M);
        ASSERT_NE(D, nullptr);
        TypeFileName(D, Target);
        static_cast<QDialog*>(D)->accept();
    }));
    dicom::THeaderData H;
    ASSERT_TRUE(dicom::LoadDICOMHeader(Target.toStdString(), H));
    const std::string Stored = QString(Comment).replace(u'\n', QStringLiteral("\r\n")).toStdString();
    EXPECT_EQ(H.ImageComments.substr(0, Stored.size()), Stored);
    EXPECT_EQ(H.SpecificCharacterSet, "ISO_IR 192");
    ASSERT_TRUE(WaitFor([&] { return Item(QStringLiteral("utf8-saved.dcm")).isValid(); }));
    Select({QStringLiteral("utf8-saved.dcm")});
    EXPECT_TRUE(Ui->Memo1->toPlainText().startsWith(Comment + QStringLiteral("\n\n")));
}

TEST_F(MainWindow, SavingOverTheShownFileAsksAndKeepsTheWindow)
{
    const QString Source = Path(QStringLiteral("ct.dcm"));
    Select({QStringLiteral("ct.dcm")});
    const QString Comment = QStringLiteral("kept after saving");
    Ui->Memo1->setPlainText(Comment);
    bool Asked = false;
    const bool Opened = WithModal([&] { Ui->Label2->click(); }, [&](QWidget* M) {
        auto* D = qobject_cast<QFileDialog*>(M);
        ASSERT_NE(D, nullptr);
        TypeFileName(D, Source);
        WithModal([&] { static_cast<QDialog*>(D)->accept(); }, [&](QWidget* Box) {
            auto* Question = qobject_cast<QMessageBox*>(Box);
            ASSERT_NE(Question, nullptr);
            Asked = true;
            Question->button(QMessageBox::Yes)->click();
        });
    });
    ASSERT_TRUE(Opened);
    EXPECT_TRUE(Asked);
    dicom::TBitmap B;
    dicom::THeaderData H;
    ASSERT_TRUE(dicom::LoadDICOMFile(Source.toStdString(), B, H));
    EXPECT_EQ(H.ImageComments.substr(0, 17), "kept after saving");
    // The file system's change notices arrive later: the window stays.
    QTest::qWait(1500);
    EXPECT_EQ(W->StatusText(), Source);
    EXPECT_EQ(Ui->Memo1->toPlainText(), Comment);
}

namespace {
// Warnings logged meanwhile, from any thread.
QStringList* LoggedWarnings = nullptr;
QMutex LoggedWarningsMutex;
} // namespace

// A learn that fails (here a file stands where the learned folder goes)
// leaves the save as it was: the file written, no message, the failure in
// the log.
TEST_F(MainWindow, AFailedLearnDoesNotFailTheSave)
{
    SetSavedCommentsLearned(true);
    QDir().mkpath(QFileInfo(LearnedFolder()).path());
    {
        QFile Blocker(LearnedFolder());
        ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly) && Blocker.write("not a folder") > 0);
    }
    QStringList Warnings;
    LoggedWarnings = &Warnings;
    const QtMessageHandler Old = qInstallMessageHandler([](QtMsgType Type, const QMessageLogContext&, const QString& Text) {
        const QMutexLocker Lock(&LoggedWarningsMutex);
        if (Type == QtWarningMsg && LoggedWarnings)
            *LoggedWarnings << Text;
    });
    Select({QStringLiteral("ct.dcm")});
    const QString Target = Path(QStringLiteral("learned.dcm"));
    Ui->Memo1->setPlainText(QStringLiteral("The zentrilax is stable."));
    const bool Opened = WithModal([&] { Ui->Label2->click(); }, [&](QWidget* M) {
        auto* D = qobject_cast<QFileDialog*>(M);
        ASSERT_NE(D, nullptr);
        TypeFileName(D, Target);
        static_cast<QDialog*>(D)->accept();
    });
    ASSERT_TRUE(Opened);
    EXPECT_FALSE(AnyMessageBoxVisible());
    EXPECT_EQ(Ui->Label2->FontColor(), clPurple);
    EXPECT_EQ(ScreenCursor(), crDefault);
    ASSERT_NE(W->SpeechReco, nullptr);
    EXPECT_TRUE(W->SpeechReco->WaitUntilLearned(60000));
    EXPECT_FALSE(AnyMessageBoxVisible());
    qInstallMessageHandler(Old);
    {
        const QMutexLocker Lock(&LoggedWarningsMutex);
        LoggedWarnings = nullptr;
    }
    dicom::THeaderData H;
    ASSERT_TRUE(dicom::LoadDICOMHeader(Target.toStdString(), H));
    EXPECT_EQ(H.ImageComments.substr(0, 24), "The zentrilax is stable.");
    EXPECT_TRUE(Warnings.join('|').contains(QStringLiteral("not learned"))) << Warnings.join('|').toStdString();
    EXPECT_TRUE(QFileInfo(LearnedFolder()).isFile());
}

TEST_F(MainWindow, CancelledSaveWritesNothing)
{
    Select({QStringLiteral("ct.dcm")});
    Ui->Memo1->setPlainText(QStringLiteral("not to be saved"));
    const auto Before = testgen::ReadFile(Path(QStringLiteral("ct.dcm")).toStdString());
    const bool Opened = WithModal([&] { Ui->Label2->click(); }, [&](QWidget* M) {
        qobject_cast<QDialog*>(M)->reject();
    });
    ASSERT_TRUE(Opened);
    EXPECT_EQ(Ui->Label2->FontColor(), clPurple);
    EXPECT_TRUE(W->ListChangeBound());
    EXPECT_EQ(testgen::ReadFile(Path(QStringLiteral("ct.dcm")).toStdString()), Before);
    EXPECT_EQ(QDir(Dir).entryList(QDir::Files).size(), 5);
}

TEST_F(MainWindow, SaveDialogRefusesReadOnlyTarget)
{
    const QString Locked = Path(QStringLiteral("locked.dcm"));
    Write(QStringLiteral("locked.dcm"), testgen::Bytes{1, 2});
    fs::permissions(Locked.toStdString(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(TSaveDialog::RefusalFor(Locked).isEmpty());
    EXPECT_TRUE(TSaveDialog::RefusalFor(Path(QStringLiteral("ct.dcm"))).isEmpty());
    EXPECT_TRUE(TSaveDialog::RefusalFor(Path(QStringLiteral("new.dcm"))).isEmpty());

    // Through the dialog: the refusal shows and the dialog stays open.
    Select({QStringLiteral("ct.dcm")});
    bool Refused = false;
    WithModal([&] { Ui->Label2->click(); }, [&](QWidget* M) {
        auto* D = qobject_cast<QFileDialog*>(M);
        TypeFileName(D, Locked);
        WithModal([&] { static_cast<QDialog*>(D)->accept(); }, [&](QWidget* Box) {
            Refused = qobject_cast<QMessageBox*>(Box) != nullptr;
            Box->close();
        });
        EXPECT_TRUE(D->isVisible());
        D->reject();
    });
    EXPECT_TRUE(Refused);
    EXPECT_EQ(testgen::ReadFile(Locked.toStdString()), (testgen::Bytes{1, 2}));
}

TEST_F(MainWindow, HelpByClickAndByF1)
{
    for (bool ByKey : {false, true}) {
        SCOPED_TRACE(ByKey ? "F1" : "click");
        Ui->Label3->SetFontColor(clBlue);
        QString Title, Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QColor During;
        const bool Opened = WithModal(
            [&] {
                if (ByKey) {
                    Ui->Memo1->setFocus();
                    QTest::keyClick(Ui->Memo1, Qt::Key_F1);
                } else {
                    Ui->Label3->click();
                }
            },
            [&](QWidget* M) {
                auto* Box = qobject_cast<QMessageBox*>(M);
                ASSERT_NE(Box, nullptr);
                Title = Box->windowTitle();
                Text = Box->text();
                Icon = Box->icon();
                During = Ui->Label3->FontColor();
                Box->accept();
            });
        ASSERT_TRUE(Opened);
        EXPECT_EQ(Title, W->windowTitle());
        EXPECT_TRUE(Title.startsWith(QStringLiteral("Varnelo - ")));
        EXPECT_EQ(Text, QStringLiteral("Sorry, Help is not yet available in this version."));
        EXPECT_EQ(Icon, QMessageBox::Information);
        EXPECT_EQ(During, clRed);
        EXPECT_EQ(Ui->Label3->FontColor(), clPurple);
    }
}

TEST_F(MainWindow, AboutShowsTheModalBoxWithTheLinkRedMeanwhile)
{
    QColor During;
    QString Kind;
    const bool Opened = WithModal([&] { Ui->Label5->click(); }, [&](QWidget* M) {
        During = Ui->Label5->FontColor();
        Kind = QString::fromLatin1(M->metaObject()->className());
        QTest::keyClick(M, Qt::Key_Escape);
    });
    ASSERT_TRUE(Opened);
    EXPECT_EQ(Kind, QStringLiteral("TTMyAbout"));
    EXPECT_EQ(During, clRed);
    EXPECT_EQ(Ui->Label5->FontColor(), clPurple);
}

TEST_F(MainWindow, ExitQuitsWithoutAskingAndLeavesTheLinkAlone)
{
    Select({QStringLiteral("ct.dcm")});
    Ui->Memo1->setPlainText(QStringLiteral("an unsaved comment"));
    bool AskedSomething = false;
    QTimer Watch;
    QObject::connect(&Watch, &QTimer::timeout, [&] {
        if (QWidget* M = QApplication::activeModalWidget()) {
            AskedSomething = true;
            M->close();
        }
    });
    Watch.start(10);
    QTimer::singleShot(0, [&] { Ui->Label4->click(); });
    QTimer Guard;
    Guard.setSingleShot(true);
    QObject::connect(&Guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    Guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0); // 7 would mean the loop never ended by itself
    EXPECT_FALSE(AskedSomething);
    EXPECT_EQ(Ui->Label4->FontColor(), clBlue);
    EXPECT_FALSE(testgen::ReadFile(Path(QStringLiteral("ct.dcm")).toStdString()).empty());
}

TEST_F(MainWindow, EveryChangeOfHeightGoesToThePreviewPanel)
{
    const int Panel1 = Ui->Panel1->height();
    const int Panel3 = Ui->Panel3->height();
    const int Rich = Ui->RichEdit1->height();
    W->resize(W->width(), W->height() + 50);
    ASSERT_TRUE(WaitFor([&] { return Ui->Panel3->height() != Panel3; }));
    EXPECT_EQ(Ui->Panel3->height(), Panel3 + 50);
    EXPECT_EQ(Ui->Panel1->height(), Panel1);
    EXPECT_EQ(Ui->RichEdit1->height(), Rich);

    W->resize(W->width() + 40, W->height());
    QTest::qWait(20);
    EXPECT_EQ(Ui->Panel3->height(), Panel3 + 50);

    // The rule itself: a height that would leave Panel3 below 10 is refused.
    int NewW = W->width(), NewH = W->height() - (Ui->Panel3->height() - 9);
    bool May = true;
    W->FormCanResize(W.get(), NewW, NewH, May);
    EXPECT_FALSE(May);
    EXPECT_EQ(Ui->Panel3->height(), Panel3 + 50);

    // The window cannot be made lower than the lower panes' minimum allows;
    // Panel1 keeps its height.
    const int Tall = W->height();
    const int LowerRoom = Ui->Splitter2->height() - Ui->Panel4->minimumHeight();
    W->resize(W->width(), 50);
    QTest::qWait(20);
    EXPECT_EQ(W->height(), Tall - std::min(LowerRoom, Panel3 + 50 - 10));
    EXPECT_GE(Ui->Panel3->height(), 10);
    EXPECT_EQ(Ui->Panel1->height(), Panel1);

    // With a small preview the rule binds: the lowest window leaves it 10.
    W->resize(W->width(), Tall);
    QTest::qWait(20);
    Ui->Splitter3->setSizes({100, Ui->Splitter3->height() - 100 - Ui->Splitter3->handleWidth()});
    QTest::qWait(20);
    ASSERT_EQ(Ui->Panel3->height(), 100);
    W->resize(W->width(), 50);
    QTest::qWait(20);
    EXPECT_EQ(Ui->Panel3->height(), 10);
    EXPECT_EQ(W->height(), Tall - 90);
    EXPECT_EQ(Ui->Panel1->height(), Panel1);
    W->resize(W->width(), W->height() + 30);
    QTest::qWait(20);
    EXPECT_EQ(Ui->Panel3->height(), 40);
}

TEST_F(MainWindow, CommentFieldLimitOnTypingPastingAndInserting)
{
    TMemo* M = Ui->Memo1;
    EXPECT_EQ(M->MaxLength(), 10000);
    M->setPlainText(QString(9998, u'x'));
    M->setFocus();
    M->moveCursor(QTextCursor::End);
    QTest::keyClicks(M, QStringLiteral("abc"));
    EXPECT_EQ(M->StoredLength(), 10000);
    EXPECT_TRUE(M->toPlainText().endsWith(QStringLiteral("xab")));

    // A line break costs two: one short of the limit it does not fit.
    M->setPlainText(QString(9999, u'x'));
    M->moveCursor(QTextCursor::End);
    QTest::keyClick(M, Qt::Key_Return);
    EXPECT_EQ(M->StoredLength(), 9999);

    M->setPlainText(QString(9990, u'x'));
    M->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QStringLiteral("12345\r\n6789"));
    M->paste();
    EXPECT_EQ(M->StoredLength(), 10000);
    EXPECT_TRUE(M->toPlainText().endsWith(QStringLiteral("12345\n678")));

    // Replacing a selection frees its room first.
    M->SetStoredSelection(0, 4);
    EXPECT_EQ(W->InsertComment(QStringLiteral("ABCDEFGH")), 4);
    EXPECT_TRUE(M->toPlainText().startsWith(QStringLiteral("ABCDx")));
    EXPECT_EQ(M->StoredLength(), 10000);

    // Text placed by a load is not limited.
    M->setPlainText(QString(10050, u'y'));
    EXPECT_EQ(M->StoredLength(), 10050);
}

TEST_F(MainWindow, CommentSelectionCountsLineBreaksAsTwo)
{
    Ui->Memo1->setPlainText(QStringLiteral("one\ntwo three"));
    EXPECT_EQ(W->CommentText(), QStringLiteral("one\r\ntwo three"));
    W->SetCommentSelection(9, 5); // "three" in the CR LF text
    EXPECT_EQ(Ui->Memo1->textCursor().selectedText(), QStringLiteral("three"));
    EXPECT_EQ(Ui->Memo1->StoredSelStart(), 9);
    EXPECT_EQ(Ui->Memo1->StoredSelLength(), 5);
    W->SetCommentSelection(0, 0);
    EXPECT_EQ(Ui->Memo1->textCursor().position(), 0);
    EXPECT_FALSE(Ui->Memo1->textCursor().hasSelection());
}

TEST_F(MainWindow, LayoutNamesAndStartState)
{
    EXPECT_EQ(W->objectName(), QStringLiteral("OrvoScrivelUIform"));
    EXPECT_EQ(Ui->Panel3->height(), 216);
    EXPECT_EQ(Ui->Panel1->height(), 185);
    EXPECT_EQ(Ui->Panel2->width(), 329);
    EXPECT_EQ(Ui->ShellTreeView1->width(), 216);
    EXPECT_EQ(Ui->Label2->FontColor(), clBlue);
    EXPECT_TRUE(Ui->Label2->font().bold());
    EXPECT_FALSE(Ui->Label3->font().bold());
    // Pause and Stop wait for reading; the speech tests cover the rest.
    for (QToolButton* B : {Ui->ToolButton1, Ui->ToolButton2, Ui->ToolButton3, Ui->ToolButton4, Ui->ToolButton5})
        EXPECT_FALSE(B->icon().isNull());
    EXPECT_FALSE(Ui->ToolButton2->isEnabled());
    EXPECT_FALSE(Ui->ToolButton3->isEnabled());
    EXPECT_TRUE(Ui->ToolButton5->isEnabled());
    EXPECT_TRUE(W->StatusText().isEmpty());
    EXPECT_TRUE(Ui->Label2->isEnabled()); // enabled, without effect, until the first change
    EXPECT_EQ(W->ListFolder(), Dir);
    EXPECT_TRUE(Ui->ShellListView1->selectionModel()->selectedRows().isEmpty());
    EXPECT_FALSE(Ui->ShellListView1->header()->sectionsClickable());
    // Sorted (once the model has sorted what it read): folders first, then
    // by name.
    const QStringList Sorted{"sub", "ct.dcm", "deflated.dcm", "multi.dcm", "notes.txt", "truncated.dcm"};
    auto Names = [&] {
        const QModelIndex Root = Ui->ShellListView1->rootIndex();
        QStringList N;
        for (int R = 0; R < W->ListModel()->rowCount(Root); ++R)
            N << W->ListModel()->index(R, 0, Root).data().toString();
        return N;
    };
    EXPECT_TRUE(WaitFor([&] { return Names() == Sorted; })) << Names().join(u',').toStdString();
}

// What a start is given on its command line (a file opened from the desktop)
// decides the folder shown and what is selected and loaded there.
TEST_F(MainWindow, StartPathOpensItsFolderAndSelectsAFileAsAClickDoes)
{
    ASSERT_TRUE(QDir(Dir).mkdir(QStringLiteral("sub/deeper")));
    appfiles::TSpec Inner;
    Inner.Frames = 2;
    testgen::WriteFile(Path(QStringLiteral("sub/inner.dcm")).toStdString(), appfiles::MakeCT(Inner));
    const QString Working = QDir::currentPath();
    struct TBack {
        QString Folder;
        ~TBack() { QDir::setCurrent(Folder); }
    } Back{Working};

    struct TCase {
        const char* Name;
        QString Argument;       // as given, relative ones from the working folder
        QString WorkingFolder;  // made current before the start
        QString Folder;         // the list shows
        QString Selected;       // the one item selected, none when empty
        QString Status;         // the file on display
        QSize Preview;
    };
    const QSize CT(48, 64);
    const std::vector<TCase> Cases = {
        {"file", Path(QStringLiteral("ct.dcm")), Working, Dir, QStringLiteral("ct.dcm"), Path(QStringLiteral("ct.dcm")),
         CT},
        {"file in a folder below", Path(QStringLiteral("sub/inner.dcm")), Working, Path(QStringLiteral("sub")),
         QStringLiteral("inner.dcm"), Path(QStringLiteral("sub/inner.dcm")), CT},
        {"relative file", QStringLiteral("sub/deeper/../../multi.dcm"), Dir, Dir, QStringLiteral("multi.dcm"),
         Path(QStringLiteral("multi.dcm")), CT},
        {"file it cannot load", Path(QStringLiteral("notes.txt")), Working, Dir, QStringLiteral("notes.txt"), {}, {}},
        {"file it refuses", Path(QStringLiteral("deflated.dcm")), Working, Dir, QStringLiteral("deflated.dcm"), {}, {}},
        {"folder", Path(QStringLiteral("sub")), Working, Path(QStringLiteral("sub")), {}, {}, {}},
        {"relative folder", QStringLiteral("sub/"), Dir, Path(QStringLiteral("sub")), {}, {}, {}},
        {"missing path", Path(QStringLiteral("gone/ct.dcm")), Working, Working, {}, {}, {}},
        {"nothing", {}, Dir, Dir, {}, {}, {}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        W.reset();
        ASSERT_TRUE(QDir::setCurrent(C.WorkingFolder));
        W = std::make_unique<TOrvoScrivelUIform>(C.Argument);
        QDir::setCurrent(Working);
        Ui = W->Form();
        W->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(W.get()));
        auto* M = W->ListModel();
        // Once the folder has been read and sorted the selection still holds.
        ASSERT_TRUE(WaitFor([&] { return M->rowCount(Ui->ShellListView1->rootIndex()) > 0; }));
        QTest::qWait(50);

        EXPECT_EQ(W->ListFolder(), C.Folder);
        EXPECT_EQ(W->TreeModel()->filePath(Ui->ShellTreeView1->currentIndex()), C.Folder);
        QStringList Selected;
        for (const QModelIndex& I : Ui->ShellListView1->selectionModel()->selectedRows())
            Selected << I.data().toString();
        EXPECT_EQ(Selected, C.Selected.isEmpty() ? QStringList() : QStringList{C.Selected});
        if (!C.Selected.isEmpty()) {
            EXPECT_EQ(Ui->ShellListView1->currentIndex().data().toString(), C.Selected);
            EXPECT_TRUE(Ui->ShellListView1->viewport()->rect().intersects(
                Ui->ShellListView1->visualRect(Ui->ShellListView1->currentIndex())));
        }
        EXPECT_EQ(W->StatusText(), C.Status);
        if (C.Preview.isValid())
            EXPECT_EQ(Ui->Image1->Picture().size(), C.Preview);
        else
            EXPECT_TRUE(Ui->Image1->Picture().isNull());
        // Refused or not, a selected item went through the list's change
        // notification, which disables Save Comment unless the load succeeds;
        // without a selection the window is as at any start.
        EXPECT_EQ(Ui->Label2->isEnabled(), C.Selected.isEmpty() || !C.Status.isEmpty());
        EXPECT_EQ(ScreenCursor(), crDefault);
        EXPECT_FALSE(AnyMessageBoxVisible());
        if (C.Selected.isEmpty()) {
            EXPECT_TRUE(Ui->RichEdit1->document()->isEmpty());
            continue;
        }

        if (C.Status == Path(QStringLiteral("ct.dcm"))) {
            EXPECT_EQ(Ui->Memo1->toPlainText(), QStringLiteral("First line\nSecond \u00E9t\u00E9"));
        }

        // The same as selecting it in the list afterwards.
        const QString Summary = Ui->RichEdit1->toHtml(), Comment = Ui->Memo1->toPlainText();
        const QImage Preview = Ui->Image1->Picture();
        Ui->ShellListView1->selectionModel()->clearSelection();
        ASSERT_TRUE(Ui->RichEdit1->document()->isEmpty());
        const QModelIndex Again = M->index(C.Folder + u'/' + C.Selected);
        Ui->ShellListView1->selectionModel()->select(Again, QItemSelectionModel::ClearAndSelect
                                                                | QItemSelectionModel::Rows);
        EXPECT_EQ(W->StatusText(), C.Status);
        EXPECT_EQ(Ui->RichEdit1->toHtml(), Summary);
        EXPECT_EQ(Ui->Memo1->toPlainText(), Comment);
        EXPECT_EQ(Ui->Image1->Picture(), Preview);
        EXPECT_EQ(Summary.isEmpty() || Ui->RichEdit1->document()->isEmpty(), C.Status.isEmpty());
    }
}

// ---- pieces without the window ----------------------------------------------

TEST(StartPathArgument, TheFirstArgumentAfterTheProgramOnly)
{
    EXPECT_EQ(StartPathArgument({QStringLiteral("varnelo")}), QString());
    EXPECT_EQ(StartPathArgument({}), QString());
    EXPECT_EQ(StartPathArgument({QStringLiteral("varnelo"), QStringLiteral("a b.dcm")}), QStringLiteral("a b.dcm"));
    EXPECT_EQ(StartPathArgument({QStringLiteral("varnelo"), QStringLiteral("one"), QStringLiteral("two")}),
              QStringLiteral("one"));
}

TEST(DicomDateToText, DottedAndPlainDatesAndFailures)
{
    const QLocale L = QLocale::system();
    const QString Jan2 = L.toString(QDate(1980, 1, 2), QLocale::ShortFormat);
    const std::vector<std::pair<std::string, QString>> Cases = {
        {"19800102", Jan2},
        {"1980.01.02", Jan2},
        {"19800102 ", Jan2},
        {"20240229", L.toString(QDate(2024, 2, 29), QLocale::ShortFormat)},
        {"20230229", {}},
        {"19801302", {}},
        {"1980010", {}},
        {"1980", {}},
        {"", {}},
        {"abcd0102", {}},
        {"1980-1-2", {}},
        {"00000102", {}},
    };
    for (const auto& [In, Out] : Cases)
        EXPECT_EQ(TOrvoScrivelUIform::DicomDateToText(In), Out) << In;
}

TEST(AnsiText, CommentLineBreaksAndLength)
{
    EXPECT_EQ(ansi::CommentFromStored("a\r\nb\rc\nd\r\n"), QStringLiteral("a\nb\nc\nd\n"));
    EXPECT_EQ(ansi::CommentFromStored("\xc3\xa9\r\n\xe4\xb8\xad"), QStringLiteral("\u00e9\n\u4e2d"));
    EXPECT_EQ(ansi::StoredLength(QStringLiteral("a\nb")), 4);
    EXPECT_EQ(ansi::StoredLength(QStringLiteral("a\u2029b\u2028")), 6);
}

TEST(GeneralError, FullStopWhenLastCharacterSortsAfterIt)
{
    const std::vector<std::pair<QString, QString>> Cases = {
        {QStringLiteral("Stream read error"), QStringLiteral("Stream read error.")},
        {QStringLiteral("Done."), QStringLiteral("Done.")},
        {QStringLiteral("Why?"), QStringLiteral("Why?.")},
        {QStringLiteral("Stop!"), QStringLiteral("Stop!")},
        {QStringLiteral("code 7"), QStringLiteral("code 7.")},
        {QStringLiteral("a-"), QStringLiteral("a-")},
        {QString(), QString()},
    };
    for (const auto& [In, Out] : Cases)
        EXPECT_EQ(GeneralErrorText(In), Out) << In.toStdString();
}

class TThrower : public QObject {
public:
    bool event(QEvent* E) override
    {
        if (E->type() == QEvent::User)
            throw std::runtime_error("Something went wrong");
        return QObject::event(E);
    }
};

TEST(GeneralError, EscapingErrorIsReportedAndTheLoopGoesOn)
{
    auto* App = qobject_cast<TVarneloApplication*>(qApp);
    ASSERT_NE(App, nullptr);
    TThrower T;
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    const bool Shown = WithModal([&] {
        QCoreApplication::postEvent(&T, new QEvent(QEvent::User));
        QTest::qWait(300);
    }, [&](QWidget* M) {
        auto* Box = qobject_cast<QMessageBox*>(M);
        ASSERT_NE(Box, nullptr);
        Title = Box->windowTitle();
        Text = Box->text();
        Icon = Box->icon();
        Box->accept();
    });
    ASSERT_TRUE(Shown);
    EXPECT_EQ(Title, QStringLiteral("Varnelo"));
    EXPECT_EQ(Text, QStringLiteral("Something went wrong."));
    EXPECT_EQ(Icon, QMessageBox::Critical);
    // Still answering.
    bool Ran = false;
    QTimer::singleShot(0, [&] { Ran = true; });
    EXPECT_TRUE(WaitFor([&] { return Ran; }));
}

TEST(ScreenCursor, OneValueNotAStackAndTheRecCursor)
{
    const QPixmap Rec(QStringLiteral(":/varnelo/rec-cursor.xpm"));
    ASSERT_EQ(Rec.size(), QSize(32, 32));
    // The arrow's tip sits on the hot spot (0, 0); the corner opposite is clear.
    const QImage Picture = Rec.toImage();
    EXPECT_EQ(qAlpha(Picture.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(Picture.pixel(31, 0)), 0);
    QSet<QRgb> Colours;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 32; ++X)
            Colours.insert(Picture.pixel(X, Y));
    EXPECT_LE(Colours.size(), 16);

    SetCursorSlot(crRecording, QCursor(Rec, 0, 0));
    SetScreenCursor(crHourGlass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    SetScreenCursor(crRecording);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BitmapCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor()->hotSpot(), QPoint(0, 0));
    SetScreenCursor(crDefault); // one step back to the normal cursor, whatever came before
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ScreenCursor(), crDefault);
}

TEST(BitmapToImage, WrapsWithoutCopying)
{
    for (int Bpp : {8, 24}) {
        dicom::TBitmap B;
        B.SetSize(5, 3, Bpp);
        B.Row(1)[0] = 200;
        if (Bpp == 8)
            B.ColourTable()[200] = dicom::TBitmap::Rgb(10, 20, 30);
        const uint8_t* Pixels = B.Bits();
        const QImage I = BitmapToImage(std::move(B));
        EXPECT_EQ(I.constBits(), Pixels) << Bpp;
        EXPECT_EQ(I.size(), QSize(5, 3));
        if (Bpp == 8)
            EXPECT_EQ(I.pixel(0, 1), qRgb(10, 20, 30));
        else
            EXPECT_EQ(qRed(I.pixel(0, 1)), 200);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const TOwnHome Home;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TVarneloApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
