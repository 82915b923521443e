#include "orvolib.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <clocale>
#include <cstring>

// ---------------------------------------------------------------------------
// Version note reader. The build puts an ELF note (owner "Varnelo", type 1,
// four 16-bit little/big-endian parts per the file's own byte order) into the
// executable; we read the section headers and walk the note sections. Every
// size and offset is checked against the file, so a damaged or foreign file
// only yields "no version".

namespace {

struct ElfReader {
  QByteArray data;
  bool is64 = false;
  bool big = false;

  bool fits(quint64 off, quint64 len) const {
    return off <= quint64(data.size()) && len <= quint64(data.size()) - off;
  }
  quint64 u(quint64 off, int bytes) const {
    quint64 v = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + off;
    for (int i = 0; i < bytes; ++i) {
      const int shift = big ? (bytes - 1 - i) * 8 : i * 8;
      v |= quint64(p[i]) << shift;
    }
    return v;
  }
};

constexpr quint32 kSHT_NOTE = 7;
constexpr quint32 kNoteType = 1;

bool FindVersionNote(const ElfReader& elf, quint16 parts[4]) {
  const quint64 ehsize = elf.is64 ? 64 : 52;
  if (!elf.fits(0, ehsize)) return false;
  const quint64 shoff = elf.is64 ? elf.u(0x28, 8) : elf.u(0x20, 4);
  const quint64 shentsize = elf.u(elf.is64 ? 0x3A : 0x2E, 2);
  const quint64 shnum = elf.u(elf.is64 ? 0x3C : 0x30, 2);
  const quint64 minEnt = elf.is64 ? 64 : 40;
  if (shoff == 0 || shnum == 0 || shentsize < minEnt) return false;
  if (shnum > quint64(elf.data.size()) / shentsize) return false;
  if (!elf.fits(shoff, shnum * shentsize)) return false;
  for (quint64 i = 0; i < shnum; ++i) {
    const quint64 sh = shoff + i * shentsize;
    const quint32 type = quint32(elf.u(sh + 4, 4));
    if (type != kSHT_NOTE) continue;
    const quint64 off = elf.is64 ? elf.u(sh + 0x18, 8) : elf.u(sh + 0x10, 4);
    const quint64 size = elf.is64 ? elf.u(sh + 0x20, 8) : elf.u(sh + 0x14, 4);
    if (!elf.fits(off, size)) continue;
    quint64 p = off;
    const quint64 end = off + size;
    while (end - p >= 12) {
      const quint64 namesz = elf.u(p, 4);
      const quint64 descsz = elf.u(p + 4, 4);
      const quint32 ntype = quint32(elf.u(p + 8, 4));
      const quint64 nameAligned = (namesz + 3) & ~quint64(3);
      const quint64 descAligned = (descsz + 3) & ~quint64(3);
      const quint64 body = p + 12;
      if (nameAligned > end - body || descAligned > end - body - nameAligned) break;
      if (ntype == kNoteType && namesz == 8 && descsz >= 8 &&
          std::memcmp(elf.data.constData() + body, "Varnelo", 8) == 0) {
        const quint64 desc = body + nameAligned;
        for (int k = 0; k < 4; ++k) parts[k] = quint16(elf.u(desc + 2 * k, 2));
        return true;
      }
      p = body + nameAligned + descAligned;
    }
  }
  return false;
}

}  // namespace

QString GetFileVersionKey(const QString& FileName) {
  const QString none = QStringLiteral("000000000000");
  QFile file(FileName);
  if (!file.open(QIODevice::ReadOnly)) return none;
  ElfReader elf;
  // Executables are small; reading the file whole keeps the bounds checks simple.
  constexpr qint64 kMaxSize = qint64(1) << 30;
  if (file.size() > kMaxSize) return none;
  elf.data = file.readAll();
  if (elf.data.size() < 16 || !elf.data.startsWith("\x7f" "ELF")) return none;
  const char cls = elf.data[4];
  const char enc = elf.data[5];
  if ((cls != 1 && cls != 2) || (enc != 1 && enc != 2)) return none;
  elf.is64 = cls == 2;
  elf.big = enc == 2;
  quint16 parts[4] = {0, 0, 0, 0};
  if (!FindVersionNote(elf, parts)) return none;
  return QString::asprintf("%3.3u%3.3u%3.3u%3.3u", unsigned(parts[0]), unsigned(parts[1]),
                           unsigned(parts[2]), unsigned(parts[3]));
}

QString VersionKeyToText(const QString& Key) {
  unsigned values[4];
  for (int i = 0; i < 4; ++i) {
    const QString group = Key.mid(i * 3, 3);
    bool ok = false;
    const uint v = group.toUInt(&ok, 10);
    // Blanks and signs would pass toUInt; the groups are plain digits.
    bool digits = !group.isEmpty();
    for (QChar c : group) digits = digits && c >= u'0' && c <= u'9';
    if (!ok || !digits) {
      throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(group).toStdString());
    }
    values[i] = v;
  }
  return QString::asprintf("%u.%u.%u.%u", values[0], values[1], values[2], values[3]);
}

QString ProgramVersionText() {
  QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
  if (path.isEmpty()) path = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  return VersionKeyToText(GetFileVersionKey(path));
}

// ---------------------------------------------------------------------------
// Opening documents.

namespace {
TDocumentOpener& CurrentOpener() {
  static TDocumentOpener opener;
  return opener;
}
}  // namespace

TDocumentOpener SetDocumentOpener(TDocumentOpener opener) {
  TDocumentOpener previous = CurrentOpener();
  CurrentOpener() = std::move(opener);
  return previous;
}

bool DesktopOpenDocument(QWidget* /*Window*/, const QString& Target) {
  const QString target = Target.trimmed();
  if (target.isEmpty()) return false;
  // A bare program name on PATH is started directly, as the shell would.
  if (!target.contains(u'/') && !target.contains(u':') && !target.contains(u' ')) {
    const QString program = QStandardPaths::findExecutable(target);
    if (!program.isEmpty()) return QProcess::startDetached(program, {});
  }
  const QFileInfo local(target);
  if (local.isAbsolute() || target.startsWith(u'.')) {
    if (!local.exists()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(local.absoluteFilePath()));
  }
  QUrl url(target, QUrl::TolerantMode);
  if (url.isValid() && url.scheme().size() > 1) return QDesktopServices::openUrl(url);
  if (local.exists()) return QDesktopServices::openUrl(QUrl::fromLocalFile(local.absoluteFilePath()));
  // "www.example.org" and the like: a web address without its scheme.
  if (target.contains(u'.') && !target.contains(u' ')) {
    url = QUrl(QStringLiteral("http://") + target, QUrl::TolerantMode);
    if (url.isValid() && !url.host().isEmpty()) return QDesktopServices::openUrl(url);
  }
  return false;
}

bool OpenDocument(QWidget* Window, const QString& Target) {
  const TDocumentOpener& opener = CurrentOpener();
  return opener ? opener(Window, Target) : DesktopOpenDocument(Window, Target);
}

QColor LabelFontColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

void SetLabelFontColor(QLabel* label, const QColor& color) {
  QPalette pal = label->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive}) pal.setColor(group, QPalette::WindowText, color);
  label->setPalette(pal);
}

bool OpenLabelLink(QLabel* ALabel) {
  if (!ALabel) return false;
  SetLabelFontColor(ALabel, QColor(255, 0, 0));
  ALabel->repaint();
  QCoreApplication::processEvents();
  bool ok = false;
  // The label may go away while events run; a guard keeps the colour step safe.
  QPointer<QLabel> guard(ALabel);
  const QString caption = ALabel->text();
  ok = OpenDocument(nullptr, caption);
  if (guard) SetLabelFontColor(guard, QColor(128, 0, 128));
  return ok;
}

// ---------------------------------------------------------------------------
// Gradient fill.

namespace {
QColor VertexColor(const TTriVertex& v) {
  return QColor(v.Red >> 8, v.Green >> 8, v.Blue >> 8);
}
}  // namespace

bool GradientFillDirect(QPainter* DC, const TTriVertex* Vertex, std::uint32_t NumVertex, const void* Mesh,
                        std::uint32_t NumMesh, std::uint32_t Mode) {
  if (!DC || !Vertex || !Mesh || NumVertex == 0) return false;
  if (Mode != GRADIENT_FILL_RECT_H && Mode != GRADIENT_FILL_RECT_V) return false;
  const auto* rects = static_cast<const TGradientRect*>(Mesh);
  for (std::uint32_t i = 0; i < NumMesh; ++i) {
    if (rects[i].UpperLeft >= NumVertex || rects[i].LowerRight >= NumVertex) return false;
  }
  DC->save();
  DC->setPen(Qt::NoPen);
  for (std::uint32_t i = 0; i < NumMesh; ++i) {
    const TTriVertex& a = Vertex[rects[i].UpperLeft];
    const TTriVertex& b = Vertex[rects[i].LowerRight];
    const QRect r = QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)),
                          QPoint(std::max(a.x, b.x) - 1, std::max(a.y, b.y) - 1));
    if (r.isEmpty()) continue;
    // The colour runs from the vertex nearer the top (left) edge to the other.
    const bool vertical = Mode == GRADIENT_FILL_RECT_V;
    const bool aFirst = vertical ? a.y <= b.y : a.x <= b.x;
    const TTriVertex& first = aFirst ? a : b;
    const TTriVertex& second = aFirst ? b : a;
    QLinearGradient gradient = vertical ? QLinearGradient(0, r.top(), 0, r.bottom() + 1)
                                        : QLinearGradient(r.left(), 0, r.right() + 1, 0);
    gradient.setColorAt(0, VertexColor(first));
    gradient.setColorAt(1, VertexColor(second));
    DC->fillRect(r, gradient);
  }
  DC->restore();
  return true;
}

bool GradientFillWhite(QPainter* DC, const TTriVertex* Vertex, std::uint32_t NumVertex, const void*,
                       std::uint32_t, std::uint32_t) {
  if (!DC || !Vertex || NumVertex < 2) return false;
  const QRect r(QPoint(Vertex[0].x, Vertex[0].y), QPoint(Vertex[1].x - 1, Vertex[1].y - 1));
  DC->fillRect(r.normalized(), Qt::white);
  return true;
}

TGradientFillProc GradientFillProc = GradientFillDirect;

// ---------------------------------------------------------------------------
// Start-up settings.

void InitStartupSettings() {
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

namespace {
// Before any form exists, as the unit's initialisation.
const bool kStartupSettings = (InitStartupSettings(), true);
}  // namespace

// ---------------------------------------------------------------------------
// Windows-1252.

namespace {
// 0x80-0x9F; 0 marks the five unassigned bytes.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

QByteArray ToAnsi(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += char(c);
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] != 0 && kCp1252High[k] == c) byte = char(0x80 + k);
    }
    // A character outside the BMP is one "?", not two.
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    out += byte;
  }
  return out;
}

QString FromAnsi(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size());
  for (char b : bytes) {
    const auto u = static_cast<unsigned char>(b);
    if (u >= 0x80 && u < 0xA0) {
      // The unassigned bytes map through to the C1 controls, as the platform does.
      out += QChar(kCp1252High[u - 0x80] ? kCp1252High[u - 0x80] : char16_t(u));
    } else {
      out += QChar(char16_t(u));
    }
  }
  return out;
}
