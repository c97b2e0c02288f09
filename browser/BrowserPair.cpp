#include "browser/BrowserPair.h"

namespace ravo {

TBrowserPair::TBrowserPair(TVelWebBrowser& web, QWidget& panel1, TVelWebBrowser& web2,
                           QWidget& panel2)
    : web_(web), panel1_(panel1), web2_(web2), panel2_(panel2) {}

void TBrowserPair::StartUp() {
  MakeSilent(web_);
  web_.Navigate(QStringLiteral("about:blank"));
  MakeSilent(web2_);
  web2_.Navigate(QStringLiteral("about:blank"));
  Show(panel1_, panel2_);
}

void TBrowserPair::Navigate1(const QString& address) { web_.Navigate(address); }

void TBrowserPair::EnterPressed(const QString& address) {
  web_.Navigate(address);
  Show(panel1_, panel2_);
}

void TBrowserPair::AddressKeyUp(int key, const QString& address) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) EnterPressed(address);
}

void TBrowserPair::WebNewWindow2(TVelWebBrowser&, TDispatch& ppDisp, bool&) {
  ppDisp = web2_.Dispatch();
  Show(panel2_, panel1_);
}

void TBrowserPair::Web2NewWindow2(TVelWebBrowser&, TDispatch& ppDisp, bool&) {
  ppDisp = web_.Dispatch();
  Show(panel1_, panel2_);
}

void TBrowserPair::Show(QWidget& shown, QWidget& hidden) {
  shown.show();
  hidden.hide();
}

}  // namespace ravo
