// The pictures of the about box, drawn in code at the size they are shown.
#pragma once

#include <QImage>
#include <QSize>

QImage DrawMakerLogo(QSize size);        // the maker's word mark with a voice wave
QImage DrawClosePicture(QSize size);     // a round close button
QImage DrawDonationPicture(QSize size);  // a "Donate" badge with a heart
QImage DrawQualitySeal(QSize size);      // a small quality rosette
