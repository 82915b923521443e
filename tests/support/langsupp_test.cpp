#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "GraphicControl1.h"
#include "controls.h"
#include "langsupp.h"

namespace {

const QString kLong = [] {
  QString s;
  for (int i = 0; i < 300; ++i) s += QChar(u'a' + i % 26);
  return s;
}();

// A table: every id n in [100, 140) says "s<n>", except the holes below.
class LanguageTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QFile f(dir.filePath(QStringLiteral("a.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray text = "# test table\n";
    for (int id = 100; id < 140; ++id) {
      if (id == 121 || id == 131 || id == 132) continue;  // missing ids
      text += QByteArray::number(id) + "=s" + QByteArray::number(id) + "\r\n";
    }
    text += "7=" + kLong.toUtf8() + "\n";
    text += "8=two\\nlines \\\\ \\t tab\n";
    text += "0=zero\n";
    text += "70000=out of range\n";
    text += "9=Gr\xc3\xbc\xc3\x9f" "e\n";
    f.write(text);
    f.close();
    QFile g(dir.filePath(QStringLiteral("b.txt")));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("200=from the second file\n");
    g.close();
    SetLanguageTableFolder(dir.path());
  }
  void TearDown() override { SetLanguageTableFolder(QString()); }
  QTemporaryDir dir;
};

}  // namespace

TEST_F(LanguageTable, LoadLanguageString) {
  EXPECT_EQ(LoadLanguageString(100), QStringLiteral("s100"));
  EXPECT_EQ(LoadLanguageString(200), QStringLiteral("from the second file"));
  EXPECT_EQ(LoadLanguageString(121), QString());
  EXPECT_EQ(LoadLanguageString(-1), QString());
  EXPECT_EQ(LoadLanguageString(70000), QString());
  EXPECT_EQ(LoadLanguageString(70000 - 65536), QString());  // no wrap-around of the id
  EXPECT_EQ(LoadLanguageString(7), kLong.left(254));
  EXPECT_EQ(LoadLanguageString(8), QStringLiteral("two\nlines \\ \t tab"));
  EXPECT_EQ(LoadLanguageString(9), QStringLiteral("Gr\u00fc\u00dfe"));
}

TEST(LanguageTableDefault, AboutBoxStringsAreCompiledIn) {
  SetLanguageTableFolder(QString());
  EXPECT_EQ(LoadLanguageString(65002), QStringLiteral("Close Window"));
  EXPECT_TRUE(LoadLanguageString(65001).contains(QStringLiteral("$$")));
  EXPECT_EQ(LoadLanguageString(12345), QString());
}

// One component of every kind; each row says what the walk must leave behind.
TEST_F(LanguageTable, TranslateFormEveryKind) {
  QWidget form;
  SetComponentTag(&form, 100);
  form.setWindowTitle(QStringLiteral("old"));

  struct Row {
    const char* kind;
    std::function<QString()> first;   // text from Tag (empty function: none)
    std::function<QString()> second;  // text from Tag + 1
    QString wantFirst, wantSecond;
  };
  std::vector<Row> rows;
  int tag = 102;
  auto add = [&](QObject* c, const char* kind, std::function<QString()> f, std::function<QString()> s,
                 bool fromNext = false, int useTag = 0) {
    const int t = useTag ? useTag : tag;
    SetComponentTag(c, t);
    rows.push_back({kind, f, s, QStringLiteral("s%1").arg(fromNext ? t + 1 : t), QStringLiteral("s%1").arg(t + 1)});
    if (!useTag) tag += 2;
  };

  auto* panel = new QFrame(&form);  // components inside panels are owned by the form too
  auto* label = new QLabel(QStringLiteral("old"), panel);
  add(label, "label", [=] { return label->text(); }, [=] { return label->toolTip(); });
  auto* action = new QAction(QStringLiteral("old"), &form);
  add(action, "menu item", [=] { return action->text(); }, [=] { return action->toolTip(); });
  auto* menu = new QMenu(QStringLiteral("old"), &form);
  add(menu, "menu item with submenu", [=] { return menu->title(); }, [=] { return menu->toolTip(); });
  auto* button = new QPushButton(QStringLiteral("old"), panel);
  add(button, "button", [=] { return button->text(); }, [=] { return button->toolTip(); });
  auto* link = new TLinkButton(QStringLiteral("old"), &form);
  add(link, "link button", [=] { return link->text(); }, [=] { return link->toolTip(); });
  auto* check = new QCheckBox(QStringLiteral("old"), &form);
  add(check, "check box", [=] { return check->text(); }, [=] { return check->toolTip(); });
  auto* speed = new QToolButton(&form);
  add(speed, "speed button", [=] { return speed->toolTip(); }, nullptr);
  auto* image = new TImage(&form);
  add(image, "image", [=] { return image->toolTip(); }, nullptr);
  auto* toolbar = new QToolBar(&form);
  auto* tool = new QToolButton(toolbar);
  toolbar->addWidget(tool);
  add(tool, "tool button", [=] { return tool->toolTip(); }, nullptr, true);
  auto* edit = new QLineEdit(QStringLiteral("old"), &form);
  add(edit, "edit", [=] { return edit->text(); }, nullptr);
  SetComponentTag(panel, tag);
  rows.push_back({"panel", [=] { return panel->property("Caption").toString(); }, nullptr,
                  QStringLiteral("s%1").arg(tag), {}});
  tag += 2;
  auto* group = new QGroupBox(QStringLiteral("old"), &form);
  add(group, "group box", [=] { return group->title(); }, nullptr);
  auto* combo = new QComboBox(&form);
  combo->setEditable(true);
  add(combo, "combo box", [=] { return combo->currentText(); }, [=] { return combo->toolTip(); });
  auto* dialog = new QFileDialog(&form);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  add(dialog, "save dialog", [=] { return dialog->windowTitle(); }, nullptr);

  // A list view: its columns take their own ids, whatever they are.
  auto* list = new QTreeWidget(&form);
  list->setColumnCount(4);
  list->setHeaderLabels({"a", "b", "c", "d"});
  list->setProperty("ColumnTags", QVariantList{110, 0, 131});
  SetComponentTag(list, 1);

  // Skipped: zero and negative tags; missing ids empty the texts.
  auto* zero = new QLabel(QStringLiteral("keep"), &form);
  auto* negative = new QLabel(QStringLiteral("keep"), &form);
  SetComponentTag(negative, -5);
  auto* missing = new QPushButton(QStringLiteral("old"), &form);
  missing->setToolTip(QStringLiteral("old"));
  SetComponentTag(missing, 131);
  auto* longText = new QLabel(&form);
  SetComponentTag(longText, 7);
  auto* filterDialog = new QFileDialog(&form);
  filterDialog->setOption(QFileDialog::DontUseNativeDialog);
  SetComponentTag(filterDialog, 130);

  ASSERT_LE(tag, 131);

  // An MDI child form is translated too, with its own caption.
  auto* area = new QMdiArea(&form);
  auto* child = new QWidget;
  SetComponentTag(child, 138);
  auto* childLabel = new QLabel(QStringLiteral("old"), child);
  SetComponentTag(childLabel, 136);
  area->addSubWindow(child);

  TranslateForm(&form);

  EXPECT_EQ(form.windowTitle(), QStringLiteral("s100"));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.kind);
    if (r.first) {
      EXPECT_EQ(r.first(), r.wantFirst);
    }
    if (r.second) {
      EXPECT_EQ(r.second(), r.wantSecond);
    }
  }
  EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("s110"));
  EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("zero"));  // column Tag 0 -> id 0
  EXPECT_EQ(list->headerItem()->text(2), QString());               // missing id
  EXPECT_EQ(list->headerItem()->text(3), QStringLiteral("zero"));  // no tag given -> 0
  EXPECT_EQ(zero->text(), QStringLiteral("keep"));
  EXPECT_EQ(negative->text(), QStringLiteral("keep"));
  EXPECT_EQ(missing->text(), QString());
  EXPECT_EQ(missing->toolTip(), QString());
  EXPECT_EQ(longText->text(), kLong.left(254));
  EXPECT_EQ(filterDialog->windowTitle(), QStringLiteral("s130"));
  EXPECT_EQ(child->windowTitle(), QStringLiteral("s138"));
  EXPECT_EQ(childLabel->text(), QStringLiteral("s136"));
  EXPECT_EQ(childLabel->toolTip(), QStringLiteral("s137"));
}

TEST_F(LanguageTable, FormWithoutTagKeepsCaptionAndFilterIsConverted) {
  QFile f(dir.filePath(QStringLiteral("c.txt")));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("300=Save comment as\n301=DICOM files|*.dcm;*.dicom|All files|*\n");
  f.close();
  SetLanguageTableFolder(dir.path());
  QWidget form;
  form.setWindowTitle(QStringLiteral("kept"));
  auto* dialog = new QFileDialog(&form);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  SetComponentTag(dialog, 300);
  TranslateForm(&form);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("kept"));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save comment as"));
  EXPECT_EQ(dialog->nameFilters(),
            QStringList({QStringLiteral("DICOM files (*.dcm *.dicom)"), QStringLiteral("All files (*)")}));
}
