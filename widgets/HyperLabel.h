// A text label that behaves like a link: under the pointer it takes its
// hover font and colours and shows the hand cursor, and a click opens the
// address in URL.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <functional>
#include <optional>

namespace ravo {

using TNotifyEvent = std::function<void(QObject* sender)>;

// Where a click sends a label's address.
enum class TLinkRoute {
  kNone,        // empty address: nothing is opened
  kWebBrowser,  // the first five characters read "HTTP:" in any letter case
  kShell,       // anything else, opened the way the desktop's shell reads it
};
TLinkRoute LinkRouteOf(const QString& url);

class THyperLabel : public QLabel {
 public:
  explicit THyperLabel(const QString& text = {}, QWidget* parent = nullptr);

  const QString& URL() const { return url_; }
  // A text that differs from the current one only in the case of ASCII
  // letters keeps the current one.
  void SetURL(const QString& url);

  // The look under the pointer. By default the label's font at construction,
  // underlined, in blue, on the system's button-face colour.
  const QFont& HoverFont() const { return hoverFont_; }
  void SetHoverFont(const QFont& font) { hoverFont_ = font; }
  const QColor& HoverTextColor() const { return hoverTextColor_; }
  void SetHoverTextColor(const QColor& color) { hoverTextColor_ = color; }
  const QColor& HoverColor() const { return hoverColor_; }
  void SetHoverColor(const QColor& color) { hoverColor_ = color; }

  TNotifyEvent OnClick;       // fired first by a left click on the label
  TNotifyEvent OnMouseEnter;  // fired after the hover look is applied
  TNotifyEvent OnMouseLeave;  // fired after the label's own look is back

 protected:
  // Fires OnClick, then opens URL by its route; a target that cannot be
  // opened is ignored.
  virtual void Click();

  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The second press of a double click is no new press: one click each.
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // The label's own look while the hover look covers it. Whether font,
  // palette and cursor were the label's own or inherited is kept too, so
  // that an inherited one is inherited again afterwards.
  struct OwnLook {
    QFont font;
    bool ownFont;
    QPalette palette;
    bool ownPalette;
    bool autoFillBackground;
    QCursor cursor;
    bool ownCursor;
  };

  QString url_;
  QFont hoverFont_;
  QColor hoverTextColor_ = Qt::blue;
  QColor hoverColor_;
  std::optional<OwnLook> saved_;  // set while the pointer is over the label
  bool pressed_ = false;
};

}  // namespace ravo
