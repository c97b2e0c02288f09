// The targets of the two links on the capture page, values of the
// deployment. The first must not begin with "HTTP:" (in any letter case), so
// that it opens the way the desktop's shell reads a bare host name; the
// second must, so that it opens in the web browser.
#pragma once

namespace ravo {

// HyperLabel1 "了解定做软件": the maker's web page.
inline constexpr char kMakerHomePage[] = "www.ravo-soft.example";

// HyperLabel2 "联系作者": the maker's contact page.
inline constexpr char kMakerContactPage[] = "http://contact.ravo-soft.example/?to=ravo";

}  // namespace ravo
