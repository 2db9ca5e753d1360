#include "shell/desktop_look.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// Fusion with a plain focus ring on every button and slider (Fusion marks a focused slider not
// at all, a focused button only after a Tab) and a slider thumb darker than its groove.
class DesktopStyle : public QProxyStyle {
 public:
  DesktopStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  // Buttons show the focus however it came, as a ring in the highlight colour; check boxes and
  // option buttons get the same ring around their caption.
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && (option->state & State_HasFocus))
      DrawRing(option->rect.adjusted(1, 1, -1, -1), option->palette, painter);
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_FrameFocusRect) {
      DrawRing(option->rect, option->palette, painter);
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control != CC_ScrollBar) return;
    // A solid thumb, dark on the light groove (and paler while disabled).
    const QRect thumb = subControlRect(control, option, SC_ScrollBarSlider, widget);
    const bool enabled = option->state & State_Enabled;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(option->palette.color(enabled ? QPalette::Shadow : QPalette::Mid));
    painter->setBrush(enabled ? QColor(112, 112, 112) : QColor(200, 200, 200));
    painter->drawRoundedRect(QRectF(thumb).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    painter->restore();
    if (option->state & State_HasFocus) DrawRing(option->rect, option->palette, painter);
  }

 private:
  static void DrawRing(const QRect& rect, const QPalette& palette, QPainter* painter) {
    painter->save();
    painter->setPen(QPen(palette.color(QPalette::Highlight), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    painter->restore();
  }
};

// Fusion's light colours, spelt out: a style's standard palette may follow the desktop's dark
// colour scheme, which the fixed colours of the strip and the editor were not chosen for.
QPalette LightPalette() {
  const QColor window(239, 239, 239);
  const QColor dark = window.darker(150);
  QPalette palette(Qt::black, window, window.lighter(150), dark, window.darker(130), Qt::black,
                   Qt::black, Qt::white, window);
  palette.setColor(QPalette::Shadow, dark.darker(135));
  palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, QColor(48, 140, 198));
  palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
  palette.setColor(QPalette::ToolTipText, Qt::black);
  palette.setColor(QPalette::PlaceholderText, QColor(128, 128, 128));
  const QColor disabledText(190, 190, 190);
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, disabledText);
  palette.setColor(QPalette::Disabled, QPalette::Base, window);
  return palette;
}

// The classes a platform theme may give palettes of their own (which the application's palette
// does not replace), and the text widgets.
constexpr const char* kThemedClasses[] = {"QAbstractButton",  "QToolButton",   "QCheckBox",
                                          "QRadioButton",     "QHeaderView",   "QAbstractItemView",
                                          "QMessageBoxLabel", "QTabBar",       "QLabel",
                                          "QGroupBox",        "QMenu",         "QMenuBar",
                                          "QTextEdit",        "QTextControl",  "QLineEdit",
                                          "QComboBox",        "QPlainTextEdit"};

}  // namespace

void ApplyFusionLook() {
  auto* style = new DesktopStyle;  // the application owns its style
  QApplication::setStyle(style);
  const QPalette palette = LightPalette();
  QApplication::setPalette(palette);
  for (const char* className : kThemedClasses) QApplication::setPalette(palette, className);
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
