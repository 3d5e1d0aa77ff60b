#pragma once
// The cover pictures of the demo songs, 600 x 600, in the game's dark-stage warm look: one
// motif per song and the title in glowing letters. Build-time tool; main thread (fonts).

#include <QImage>
#include <QString>

namespace cantorix::assets::demo {

QImage lanternCover(const QString& title);
QImage harbourCover(const QString& title);
QImage kitesCover(const QString& title);
// The duet's cover, and its background of the same scene without a title, 800 x 600.
QImage lighthousesCover(const QString& title);
QImage lighthousesBackground();

} // namespace cantorix::assets::demo
