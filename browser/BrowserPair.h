// The two browser panes of the browsing page. They lie on top of each other,
// each filling its own panel, and exactly one panel is visible: which one is
// the only state. The address line always loads pane 1; a new window asked
// for by either pane opens in the other one, which becomes the visible one.
#pragma once

#include <QString>
#include <QWidget>

#include "browser/VelwebBrowser.h"

namespace ravo {

class TBrowserPair {
 public:
  // panel1 holds web (pane 1), panel2 holds web2 (pane 2). All four outlive
  // the pair.
  TBrowserPair(TVelWebBrowser& web, QWidget& panel1, TVelWebBrowser& web2, QWidget& panel2);

  // Both panes silent on "about:blank", pane 1 visible.
  void StartUp();

  // "浏览": pane 1 loads the address; the visible pane stays as it is.
  void Navigate1(const QString& address);

  // Enter in the address line: pane 1 loads the address and becomes the
  // visible pane. When the address is refused the error propagates and the
  // visibility is left unchanged.
  void EnterPressed(const QString& address);

  // A key released in the address line (a Qt::Key value): Enter, of the main
  // block or the keypad, whatever modifiers are held, is EnterPressed; other
  // keys do nothing.
  void AddressKeyUp(int key, const QString& address);

  // New-window handlers of pane 1 and pane 2: the other pane receives the
  // window and becomes the visible one. cancel is left as it came.
  void WebNewWindow2(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel);
  void Web2NewWindow2(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel);

 private:
  // The shown panel is shown before the other is hidden, so that the area is
  // never left empty in between.
  static void Show(QWidget& shown, QWidget& hidden);

  TVelWebBrowser& web_;
  QWidget& panel1_;
  TVelWebBrowser& web2_;
  QWidget& panel2_;
};

}  // namespace ravo
