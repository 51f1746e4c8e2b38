#include "tests/support/PageLinks.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <string_view>

namespace fq::test {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low >= 0) {
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

void CollectLinks(xmlNodePtr node, std::vector<PageLink>& links) {
  for (; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE) {
      const std::string name = reinterpret_cast<const char*>(node->name);
      const char* attribute = name == "a" ? "href" : name == "img" ? "src" : nullptr;
      if (attribute) {
        if (xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(attribute))) {
          links.push_back({name, PercentDecoded(reinterpret_cast<const char*>(value))});
          xmlFree(value);
        }
      }
    }
    CollectLinks(node->children, links);
  }
}

}  // namespace

std::vector<PageLink> PageLinks(const std::string& html) {
  std::vector<PageLink> links;
  htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), "page.html", "UTF-8",
                                  HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
  if (!doc) return links;
  CollectLinks(xmlDocGetRootElement(doc), links);
  xmlFreeDoc(doc);
  return links;
}

}  // namespace fq::test
