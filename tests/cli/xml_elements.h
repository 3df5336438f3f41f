// The elements of an XML text as a real XML parser reads them (where the
// build has one; elsewhere every text parses and nothing is collected).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>
#if KAVR_TEST_XML_PARSER
#include <expat.h>
#endif

namespace cli_test {

// Collects the elements of an XML text; false when the parser refuses it.
struct XmlElements {
#if KAVR_TEST_XML_PARSER
  std::vector<std::pair<std::string, std::map<std::string, std::string>>> elements;

  bool Parse(const std::string& text) {
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, this);
    XML_SetStartElementHandler(parser, [](void* self, const XML_Char* name, const XML_Char** attributes) {
      auto& element =
          static_cast<XmlElements*>(self)->elements.emplace_back(name, std::map<std::string, std::string>{});
      for (int i = 0; attributes[i] != nullptr; i += 2) element.second[attributes[i]] = attributes[i + 1];
    });
    const bool parsed = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return parsed;
  }
#else
  bool Parse(const std::string&) { return true; }
#endif
};

}  // namespace cli_test
