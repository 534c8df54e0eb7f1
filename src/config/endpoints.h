#pragma once

#include <string>

namespace qm {

// Every address the program talks to. Hosts may carry a ":port"; they are plain
// ASCII and are joined as they stand into "http://" + host + path addresses.
struct Endpoints {
  std::string stockHost;        // "/stock?skuId=..."
  std::string priceHost;        // "/prices/get?skuid=J_..."
  std::string promotionHost;    // "/promoinfo/get?id=..."
  std::string weChatPriceHost;  // "/prices/pcpmgets?skuids=..."
  std::string productPageHost;  // "/<id>.html"
  std::string mobilePageHost;   // "/product/<id>.html"
  std::string weChatPageHost;   // "/item/view?sku=<id>"
  std::string regionHost;       // "/index.php?mod=ajax&act=getchild_jddist&pid=<id>"
  std::string qrHost;           // "/api.php?..."
  std::string smtpServer;
  int smtpPort = 25;
  std::string bannerAddress;  // whole addresses
  std::string homePage;
  std::string feedbackPage;
};

// The endpoints compiled into this build (CMake cache variables QM_*).
Endpoints buildEndpoints();

}  // namespace qm
