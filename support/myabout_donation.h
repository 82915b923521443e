// The donation request of the about box: the form it posts and the local page
// that posts it from the user's browser.
#pragma once

#include <QString>

// Form-URL encoding of the donation item, byte by byte of its Windows-1252
// form: letters, digits, "@*._-$!'()" stay, a blank becomes "+", every other
// byte "%" and two lower-case hex digits.
QString DonationUrlEncode(const QString& item);

// The POST body: "cmd=<command>&hosted_button_id=<id>&item_name=<encoded>".
QString DonationBody(const QString& item);

// Writes the temporary local page that posts the donation form to the
// donation address on load (new window target "_blank") and returns its path;
// empty on failure.
QString WriteDonationPage(const QString& item);

// The donation service's address and form values.
extern const char* const DonationAddress;
extern const char* const DonationCommand;
extern const char* const DonationButtonId;
