#pragma once
// The links of a generated page, read with libxml2's HTML parser, so that a
// test can check that each one leads to a file that was written.
#include <string>
#include <tuple>
#include <vector>

namespace fq::test {

// One link of a page: the element ("a", "img") and its target as a path
// relative to the page (the href or src with its percent escapes undone).
struct PageLink {
  std::string element;
  std::string target;
  bool operator<(const PageLink& o) const {
    return std::tie(element, target) < std::tie(o.element, o.target);
  }
  bool operator==(const PageLink&) const = default;
};

// Every href of an <a> and src of an <img> in `html`.
std::vector<PageLink> PageLinks(const std::string& html);

}  // namespace fq::test
