// The main window's comment side: saving the comment into a copy of the
// file, and the comment field as dictation and read-aloud reach it.
#include "Unit1.h"

#include "ui_Unit1.h"

#include "appcontrols.h"
#include "screencursor.h"

#include "GraphicControl1.h"

#include "sprecocontext.h"
#include "writer.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTime>

#include <functional>

namespace {

// The user's long time format without a time zone, which a long time of
// day does not carry here.
QString LongTimeFormat()
{
    const QString F = QLocale::system().timeFormat(QLocale::LongFormat);
    QString Out;
    bool Quoted = false;
    for (qsizetype I = 0; I < F.size(); ++I) {
        const QChar C = F[I];
        if (C == u'\'')
            Quoted = !Quoted;
        if (!Quoted && C == u't') {
            while (!Out.isEmpty() && Out.back().isSpace())
                Out.chop(1);
            continue;
        }
        Out += C;
    }
    return Out.trimmed();
}

// Rebinds the list's notification however the save ends.
struct TRebind {
    std::function<void()> Done;
    ~TRebind() { Done(); }
};

} // namespace

// ---- saving the comment -----------------------------------------------------

void TOrvoScrivelUIform::Label2Click(QObject*)
{
    const QString Source = StatusText();
    if (Source.isEmpty())
        return;
    ui->Label2->SetFontColor(clRed);
    FSaveDialog1->setDirectory(QFileInfo(Source).absolutePath());
    FSaveDialog1->selectFile(Source);
    UnbindListChange();
    {
        TRebind Rebind{[this] { BindListChange(); }};
        if (FSaveDialog1->exec() == QDialog::Accepted && !FSaveDialog1->selectedFiles().isEmpty()) {
            const QString Target = FSaveDialog1->selectedFiles().first();
            dicom::TCommentWriterHooks Hooks;
            Hooks.ReportError = [this](const std::string& Message) {
                QMessageBox Box(QMessageBox::Critical, QStringLiteral("Error"), QString::fromLocal8Bit(Message.c_str()),
                                QMessageBox::Ok, this);
                Box.exec();
            };
            Hooks.DateTimeText = [] {
                const QLocale L = QLocale::system();
                return (L.toString(QDate::currentDate(), QLocale::ShortFormat) + u' '
                        + L.toString(QTime::currentTime(), LongTimeFormat()))
                    .toStdString();
            };
            const QString Comment = ui->Memo1->StoredText();
            bool Saved = false;
            {
                SetScreenCursor(crHourGlass);
                struct TRestore {
                    ~TRestore() { SetScreenCursor(crDefault); }
                } Restore;
                // The writer stores the text in the file's own character set.
                Saved = dicom::WriteDICOMComment(LocalName(Source), LocalName(Target), Comment.toStdString(), Hooks);
            }
            // What the user wrote teaches dictation, in the background: the
            // save is done whatever the learning makes of it.
            if (Saved && SpeechReco) {
                SpeechReco->LearnSavedText(Comment, FShownComment);
                FShownComment = Comment;
                // The phrases dictated into it become training material.
                SpeechReco->KeepDictatedPhrases(Comment, FDictatedPhrases);
                FDictatedPhrases.clear();
            }
        }
    }
    ui->Label2->SetFontColor(clPurple);
}

// ---- comment field ----------------------------------------------------------

TMemo* TOrvoScrivelUIform::CommentField() const
{
    return ui->Memo1;
}

QString TOrvoScrivelUIform::CommentText() const
{
    return ui->Memo1->StoredText();
}

void TOrvoScrivelUIform::SetCommentSelection(qsizetype Start, qsizetype Length)
{
    ui->Memo1->SetStoredSelection(Start, Length);
}

qsizetype TOrvoScrivelUIform::InsertComment(const QString& Text)
{
    return ui->Memo1->InsertLimited(Text);
}
