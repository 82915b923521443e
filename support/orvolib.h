// Small services shared by the program: version text of an executable,
// opening documents and addresses through the desktop, link-like labels, the
// gradient fill, the process-wide start-up settings and the about-info record.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>

class QLabel;
class QPainter;
class QWidget;

// What an about or splash box shows. Passed by value; a default-constructed
// record (empty strings, no logo, all flags false) is valid.
struct TAboutInfo {
  QString Title;         // product name: caption, title line, donation hint and item
  QString SubTitle;      // second line under the title, shrunk to fit
  QString Description;   // description label
  QString RightsNotice;  // rights-notice label at the bottom
  QPixmap Logo;          // drawn near the top right; null = none
  QString BuildText;     // replaces the version label's text when not empty
  bool ShowAuthors = false;      // start the credits at once instead of the legal notice
  bool ShowProductLink = false;  // show the product's web-address label
  QString TitleLink;             // opened when the title is clicked; empty = no link
  bool ShowDonation = false;     // show the donation button
  bool Translate = false;        // translate the modal about box before it shows
};

// Raised by VersionKeyToText for a group that is not a number; the message
// reads "'<group>' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Version key of the named file: twelve digits, the four 16-bit parts of the
// version the build embedded in it ("%3.3u" each; 0.9.3.0 -> 000009003000).
// A file that cannot be read or carries no embedded version gives
// "000000000000". Never throws.
QString GetFileVersionKey(const QString& FileName);

// Version text of a key: characters 1-3, 4-6, 7-9, 10-12 as numbers joined by
// "." (000009003000 -> 0.9.3.0). Throws EConvertError for a group that is not
// a number (including a key shorter than 12 characters).
QString VersionKeyToText(const QString& Key);

// The version text of the running program's own file (0.0.0.0 without one).
QString ProgramVersionText();

// Opens a document, a web or mail address, or starts a program found on PATH
// by its bare name ("open"). Window is the owner of anything shown; may be
// nullptr. True when the desktop accepted the target. Shows no message.
bool OpenDocument(QWidget* Window, const QString& Target);

// The routine OpenDocument and OpenLabelLink use. Replaceable (tests install
// their own); SetDocumentOpener returns the previous one, and an empty
// function restores the desktop opener.
using TDocumentOpener = std::function<bool(QWidget* Window, const QString& Target)>;
TDocumentOpener SetDocumentOpener(TDocumentOpener opener);
bool DesktopOpenDocument(QWidget* Window, const QString& Target);

// Opens the label's caption: the label turns red (RGB 255,0,0) and pending
// events are processed so it shows, then the caption is opened with no owner
// window, then the label turns purple (128,0,128) whatever the outcome.
// Returns whether the opening succeeded.
bool OpenLabelLink(QLabel* ALabel);

// A label's font colour (its palette's WindowText).
QColor LabelFontColor(const QLabel* label);
void SetLabelFontColor(QLabel* label, const QColor& color);

// Gradient fill with the platform's argument layout.
struct TTriVertex {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint16_t Red = 0;    // 16-bit channels: 0xFF00 and 0xFFFF both mean 255
  std::uint16_t Green = 0;
  std::uint16_t Blue = 0;
  std::uint16_t Alpha = 0;
};
struct TGradientRect {
  std::uint32_t UpperLeft = 0;   // vertex indices
  std::uint32_t LowerRight = 0;
};
enum : std::uint32_t {
  GRADIENT_FILL_RECT_H = 0,
  GRADIENT_FILL_RECT_V = 1,
  GRADIENT_FILL_TRIANGLE = 2,
};

// Fills each mesh rectangle (spanned by its two vertices) on the painter,
// honouring its clip. Horizontal mode runs from the colour of the left vertex
// to that of the right one, vertical mode from the top vertex to the bottom
// one. Mesh is an array of TGradientRect. False for bad arguments or the
// triangle mode, which is not supported.
using TGradientFillProc = bool (*)(QPainter* DC, const TTriVertex* Vertex, std::uint32_t NumVertex,
                                   const void* Mesh, std::uint32_t NumMesh, std::uint32_t Mode);

// Bound to GradientFillDirect at start-up; GradientFillWhite is the fallback
// used when no gradient routine is available.
extern TGradientFillProc GradientFillProc;
bool GradientFillDirect(QPainter* DC, const TTriVertex* Vertex, std::uint32_t NumVertex,
                        const void* Mesh, std::uint32_t NumMesh, std::uint32_t Mode);
// Fills the rectangle from (x, y) of vertex 0 to (x, y) of vertex 1 with
// white; ignores the meshes and the mode. False when there are fewer than two
// vertices or no painter.
bool GradientFillWhite(QPainter* DC, const TTriVertex* Vertex, std::uint32_t NumVertex,
                       const void* Mesh, std::uint32_t NumMesh, std::uint32_t Mode);

// Process-wide start-up settings: "." as decimal separator for number
// formatting and parsing whatever the user's locale (C numeric locale for the
// C runtime, QLocale::c() as Qt's default locale; dates for the user come from
// QLocale::system()). Runs once before main; QApplication's constructor resets
// the C locale from the environment, so call it again right after creating
// the application object. Idempotent.
void InitStartupSettings();

// Text at the 8-bit boundary: Windows-1252 (the Western ANSI code page); a
// character outside it becomes "?".
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);
