#pragma once

#include <QList>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <utility>

// Which of `parts`, those visible within `within`, cover one another there ("a covers b"); none
// when every part has a place of its own.
inline QStringList Covering(const QWidget& within, const QList<QWidget*>& parts) {
  QStringList covering;
  QList<std::pair<QRect, const QWidget*>> placed;
  for (const QWidget* part : parts) {
    if (!part->isVisibleTo(&within)) continue;
    const QRect at(part->mapTo(&within, QPoint(0, 0)), part->size());
    for (const auto& [other, name] : placed) {
      if (at.intersects(other))
        covering << part->objectName() + part->metaObject()->className() + " covers " +
                        name->objectName() + name->metaObject()->className();
    }
    placed.append({at, part});
  }
  return covering;
}
