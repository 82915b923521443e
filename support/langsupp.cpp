#include "langsupp.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVariant>

#include "controls.h"

namespace {

constexpr int kMaxStringLength = 254;  // a 255-character buffer with its terminator
const QString kDefaultFolder = QStringLiteral(":/varnelo-strings");

struct StringTable {
  QString folder = kDefaultFolder;
  bool loaded = false;
  QHash<int, QString> strings;
};

StringTable& Table() {
  static StringTable table;
  return table;
}

QString Unescape(QStringView text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\\' && i + 1 < text.size()) {
      const QChar n = text[++i];
      if (n == u'n') out += u'\n';
      else if (n == u't') out += u'\t';
      else if (n == u'r') out += u'\r';
      else out += n;
    } else {
      out += c;
    }
  }
  return out;
}

void LoadTable(StringTable& table) {
  table.strings.clear();
  table.loaded = true;
  const QDir dir(table.folder);
  const QStringList files = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
  for (const QString& name : files) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QString text = QString::fromUtf8(file.readAll());
    for (QStringView line : QStringView(text).split(u'\n')) {
      if (line.endsWith(u'\r')) line.chop(1);
      if (line.isEmpty() || line.startsWith(u'#')) continue;
      const qsizetype eq = line.indexOf(u'=');
      if (eq <= 0) continue;
      bool ok = false;
      const int id = line.left(eq).trimmed().toInt(&ok);
      if (!ok || id < 0 || id > 0xFFFF) continue;
      table.strings.insert(id, Unescape(line.mid(eq + 1)));
    }
  }
}

}  // namespace

void SetLanguageTableFolder(const QString& folder) {
  StringTable& table = Table();
  table.folder = folder.isEmpty() ? kDefaultFolder : folder;
  table.loaded = false;
  table.strings.clear();
}

QString LoadLanguageString(int Id) {
  if (Id < 0 || Id > 0xFFFF) return {};
  StringTable& table = Table();
  if (!table.loaded) LoadTable(table);
  QString s = table.strings.value(Id);
  if (s.size() > kMaxStringLength) {
    qsizetype cut = kMaxStringLength;
    // Never leave half of a surrogate pair behind.
    if (s.at(cut - 1).isHighSurrogate()) --cut;
    s.truncate(cut);
  }
  return s;
}

int ComponentTag(const QObject* component) {
  if (!component) return 0;
  bool ok = false;
  const int tag = component->property("Tag").toInt(&ok);
  return ok ? tag : 0;
}

void SetComponentTag(QObject* component, int tag) {
  if (component) component->setProperty("Tag", tag);
}

namespace {

// "Text files|*.txt;*.text|All|*" -> {"Text files (*.txt *.text)", "All (*)"}
QStringList FilterToNameFilters(const QString& filter) {
  QStringList result;
  const QStringList parts = filter.split(u'|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(u';', u' ');
    result << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
  }
  if (parts.size() % 2 == 1 && !parts.back().isEmpty()) result << parts.back();
  return result;
}

void TranslateColumns(QAbstractItemView* view) {
  QAbstractItemModel* model = view->model();
  if (!model) return;
  const QVariantList tags = view->property("ColumnTags").toList();
  for (int column = 0; column < model->columnCount(); ++column) {
    const int tag = column < tags.size() ? tags[column].toInt() : 0;
    model->setHeaderData(column, Qt::Horizontal, LoadLanguageString(tag), Qt::DisplayRole);
  }
}

// The kinds of component and their texts. The checks run in this order; Qt's
// classes nest differently (a QLabel is a QFrame, an item view is a QFrame), so
// the more specific Qt class is tested before the more general one. Every
// property is set, also to an empty string for a missing id.
//
// | Kind            | Qt class here                         | from Tag         | from Tag + 1 |
// |-----------------|---------------------------------------|------------------|--------------|
// | TLabel          | QLabel (and TClickLabel)              | text             | toolTip      |
// | TStaticText     | QLabel (same row as TLabel)           | text             | toolTip      |
// | TMenuItem       | QAction; QMenu (an item with submenu)  | text / title     | toolTip      |
// | TButton         | QPushButton (so also TLinkButton)     | text             | toolTip      |
// | TCheckBox       | QCheckBox                             | text             | toolTip      |
// | TSpeedButton    | QToolButton not on a QToolBar         | toolTip          | -            |
// | TImage          | TImage                                | toolTip          | -            |
// | TToolButton     | QToolButton on a QToolBar             | -                | toolTip      |
// | TEdit           | QLineEdit                             | text             | -            |
// | TPanel          | QFrame (exactly; no caption drawn)    | "Caption" prop.  | -            |
// | TGroupBox       | QGroupBox                             | title            | -            |
// | TRadioGroup     | QGroupBox (same row as TGroupBox)     | title            | -            |
// | TComboBox       | QComboBox                             | currentText      | toolTip      |
// | TOpenDialog     | QFileDialog (also for saving)         | windowTitle      | nameFilters  |
// | TListView       | QTreeView, QTableView (header texts)  | columns' own ids | -            |
void TranslateComponent(QObject* c, int tag) {
  auto first = [tag] { return LoadLanguageString(tag); };
  auto second = [tag] { return LoadLanguageString(tag + 1); };

  if (auto* label = qobject_cast<QLabel*>(c)) {
    label->setText(first());
    label->setToolTip(second());
  } else if (auto* action = qobject_cast<QAction*>(c)) {
    action->setText(first());
    action->setToolTip(second());
  } else if (auto* menu = qobject_cast<QMenu*>(c)) {
    menu->setTitle(first());
    menu->setToolTip(second());
  } else if (auto* button = qobject_cast<QPushButton*>(c)) {
    button->setText(first());
    button->setToolTip(second());
  } else if (auto* check = qobject_cast<QCheckBox*>(c)) {
    check->setText(first());
    check->setToolTip(second());
  } else if (auto* tool = qobject_cast<QToolButton*>(c)) {
    if (qobject_cast<QToolBar*>(tool->parentWidget())) tool->setToolTip(second());
    else tool->setToolTip(first());
  } else if (auto* image = qobject_cast<TImage*>(c)) {
    image->setToolTip(first());
  } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
    edit->setText(first());
  } else if (auto* group = qobject_cast<QGroupBox*>(c)) {
    group->setTitle(first());
  } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
    if (combo->isEditable()) combo->setEditText(first());
    else combo->setCurrentIndex(combo->findText(first()));
    combo->setToolTip(second());
  } else if (auto* dialog = qobject_cast<QFileDialog*>(c)) {
    dialog->setWindowTitle(first());
    dialog->setNameFilters(FilterToNameFilters(second()));
  } else if (auto* tree = qobject_cast<QTreeView*>(c)) {
    TranslateColumns(tree);
  } else if (auto* table = qobject_cast<QTableView*>(c)) {
    TranslateColumns(table);
  } else if (c->metaObject() == &QFrame::staticMetaObject) {
    c->setProperty("Caption", first());
  }
}

// Every descendant in child order, depth first; MDI child forms are left to
// their own pass.
void WalkComponents(QObject* parent) {
  for (QObject* child : parent->children()) {
    if (qobject_cast<QMdiSubWindow*>(child)) continue;
    const int tag = ComponentTag(child);
    if (tag > 0) TranslateComponent(child, tag);
    WalkComponents(child);
  }
}

void CollectMdiChildren(QObject* parent, QList<QWidget*>& forms) {
  for (QObject* child : parent->children()) {
    if (auto* area = qobject_cast<QMdiArea*>(child)) {
      for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->widget()) forms << sub->widget();
      }
      continue;
    }
    if (qobject_cast<QMdiSubWindow*>(child)) continue;
    CollectMdiChildren(child, forms);
  }
}

}  // namespace

void TranslateForm(QWidget* Form) {
  if (!Form) return;
  const int tag = ComponentTag(Form);
  if (tag > 0) Form->setWindowTitle(LoadLanguageString(tag));
  WalkComponents(Form);
  QList<QWidget*> children;
  CollectMdiChildren(Form, children);
  for (QWidget* child : children) TranslateForm(child);
}
