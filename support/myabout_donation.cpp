#include "myabout_donation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cstring>

#include "orvolib.h"

const char* const DonationAddress = "https://donate.varnelo.example/checkout";
const char* const DonationCommand = "_donation";
const char* const DonationButtonId = "VARNELO-2026";

namespace {

QString HtmlEscape(const QString& text) { return text.toHtmlEscaped(); }

}  // namespace

QString DonationUrlEncode(const QString& item) {
  static const char kHex[] = "0123456789abcdef";
  QString out;
  for (char ch : ToAnsi(item)) {
    const auto c = static_cast<unsigned char>(ch);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      std::strchr("@*._-$!'()", c) != nullptr;
    if (c != 0 && keep) {
      out += QChar(c);
    } else if (c == ' ') {
      out += u'+';
    } else {
      out += u'%';
      out += QChar(kHex[c >> 4]);
      out += QChar(kHex[c & 15]);
    }
  }
  return out;
}

QString DonationBody(const QString& item) {
  return QStringLiteral("cmd=") + QString::fromLatin1(DonationCommand) + QStringLiteral("&hosted_button_id=") +
         QString::fromLatin1(DonationButtonId) + QStringLiteral("&item_name=") + DonationUrlEncode(item);
}

QString WriteDonationPage(const QString& item) {
  // The browser reads the page some time after we hand it over, so it
  // outlives the call; each new request replaces the previous page. The
  // name is random and the file created exclusively, as /tmp is shared.
  static QString previous;
  if (!previous.isEmpty()) QFile::remove(previous);
  previous.clear();
  const QString html =
      QStringLiteral(
          "<!DOCTYPE html>\n"
          "<html><head><meta charset=\"windows-1252\"><title>Donation</title></head>\n"
          "<body onload=\"document.forms[0].submit()\">\n"
          "<form method=\"post\" action=\"%1\" enctype=\"application/x-www-form-urlencoded\" "
          "accept-charset=\"windows-1252\" data-body=\"%5\">\n"
          "<input type=\"hidden\" name=\"cmd\" value=\"%2\">\n"
          "<input type=\"hidden\" name=\"hosted_button_id\" value=\"%3\">\n"
          "<input type=\"hidden\" name=\"item_name\" value=\"%4\">\n"
          "<noscript><input type=\"submit\" value=\"Continue\"></noscript>\n"
          "</form></body></html>\n")
          .arg(HtmlEscape(QString::fromLatin1(DonationAddress)), HtmlEscape(QString::fromLatin1(DonationCommand)),
               HtmlEscape(QString::fromLatin1(DonationButtonId)), HtmlEscape(item), HtmlEscape(DonationBody(item)));
  QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("varnelo-donation-XXXXXX.html")));
  file.setAutoRemove(false);
  if (!file.open()) return {};
  const QByteArray bytes = ToAnsi(html);
  const bool written = file.write(bytes) == bytes.size() && file.flush();
  const QString path = file.fileName();
  file.close();
  if (!written) {
    QFile::remove(path);
    return {};
  }
  previous = path;
  return path;
}
