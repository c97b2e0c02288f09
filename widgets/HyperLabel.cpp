#include "widgets/HyperLabel.h"

#include <QEnterEvent>
#include <QMouseEvent>

#include "platform/Shell.h"

namespace ravo {
namespace {

QString AsciiUpper(QString text) {
  for (QChar& c : text) {
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - ('a' - 'A'));
  }
  return text;
}

}  // namespace

TLinkRoute LinkRouteOf(const QString& url) {
  if (url.isEmpty()) return TLinkRoute::kNone;
  return AsciiUpper(url.left(5)) == QLatin1String("HTTP:") ? TLinkRoute::kWebBrowser
                                                           : TLinkRoute::kShell;
}

THyperLabel::THyperLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), hoverFont_(font()), hoverColor_(palette().color(QPalette::Button)) {
  hoverFont_.setUnderline(true);
}

void THyperLabel::SetURL(const QString& url) {
  if (AsciiUpper(url) != AsciiUpper(url_)) url_ = url;
}

void THyperLabel::Click() {
  if (OnClick) OnClick(this);
  const std::string target = url_.toLocal8Bit().toStdString();
  switch (LinkRouteOf(url_)) {
    case TLinkRoute::kNone:
      break;
    case TLinkRoute::kWebBrowser:
      platform::OpenInWebBrowser(target);
      break;
    case TLinkRoute::kShell:
      platform::ShellOpenTarget(target);
      break;
  }
}

void THyperLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  if (saved_) return;
  saved_ = OwnLook{font(),
                   testAttribute(Qt::WA_SetFont),
                   palette(),
                   testAttribute(Qt::WA_SetPalette),
                   autoFillBackground(),
                   cursor(),
                   testAttribute(Qt::WA_SetCursor)};
  setFont(hoverFont_);
  QPalette hover = palette();
  hover.setColor(QPalette::WindowText, hoverTextColor_);
  hover.setColor(QPalette::Window, hoverColor_);
  setPalette(hover);
  setAutoFillBackground(true);
  setCursor(Qt::PointingHandCursor);
  if (OnMouseEnter) OnMouseEnter(this);
}

// An empty font or palette resets the label to what it inherits.
void THyperLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  if (!saved_) return;
  setFont(saved_->ownFont ? saved_->font : QFont());
  setPalette(saved_->ownPalette ? saved_->palette : QPalette());
  setAutoFillBackground(saved_->autoFillBackground);
  if (saved_->ownCursor) {
    setCursor(saved_->cursor);
  } else {
    unsetCursor();
  }
  saved_.reset();
  if (OnMouseLeave) OnMouseLeave(this);
}

void THyperLabel::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) pressed_ = true;
}

void THyperLabel::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

// A click is a left press and release on the label.
void THyperLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (rect().contains(event->position().toPoint())) Click();
}

}  // namespace ravo
