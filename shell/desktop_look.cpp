#include "desktop_look.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// Fusion, with a focus ring around a focused slider (Fusion draws none) and a thumb that is
// darker than its groove.
class DesktopStyle : public QProxyStyle {
 public:
  DesktopStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    if (control != CC_ScrollBar) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    // A solid thumb, dark on the light groove (and paler while disabled).
    const QRect thumb = subControlRect(control, option, SC_ScrollBarSlider, widget);
    const bool enabled = option->state & State_Enabled;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(option->palette.color(enabled ? QPalette::Shadow : QPalette::Mid));
    painter->setBrush(enabled ? QColor(112, 112, 112) : QColor(200, 200, 200));
    painter->drawRoundedRect(QRectF(thumb).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    painter->restore();
    if (option->state & State_HasFocus) {
      painter->save();
      painter->setPen(QPen(option->palette.color(QPalette::Highlight), 2));
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
      painter->restore();
    }
  }
};

}  // namespace

void ApplyFusionLook() {
  auto* style = new DesktopStyle;  // the application owns its style
  QApplication::setStyle(style);
  QApplication::setPalette(style->standardPalette());
  // The size the fixed layout was measured with; the platform theme's font may be larger.
  QFont font(QStringLiteral("Sans Serif"), 9);
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
}

void ApplyDesktopLook() {
#ifdef Q_OS_LINUX
  ApplyFusionLook();
#endif
}
