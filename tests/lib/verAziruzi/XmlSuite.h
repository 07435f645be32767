#pragma once

// The W3C XML conformance suite as the suite runners read it: its catalog, the
// XML 1.0 cases (editions 1 to 4) with their files resolved through xml:base,
// and the list of known exceptions a runner keeps beside it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/verAziruzi/XpParser.h"

namespace xmlsuite {

struct TTestCase {
  std::string id;
  std::string type;
  std::string file;
};

inline bool HasEdition1To4(const std::string& editions) {
  std::istringstream words(editions);
  std::string word;
  while (words >> word)
    if (word == "1" || word == "2" || word == "3" || word == "4") return true;
  return false;
}

inline bool Selected(const std::map<std::string, std::string>& a) {
  auto get = [&](const char* key) {
    auto it = a.find(key);
    return it == a.end() ? std::string() : it->second;
  };
  std::string recommendation = get("RECOMMENDATION");
  if (!recommendation.empty() && recommendation != "XML1.0" && recommendation != "XML1.0-errata2e" &&
      recommendation != "XML1.0-errata3e" && recommendation != "XML1.0-errata4e")
    return false;
  std::string version = get("VERSION");
  if (!version.empty() && version != "1.0") return false;
  std::string edition = get("EDITION");
  return edition.empty() || HasEdition1To4(edition);
}

// The cases of the catalog, with their files resolved through xml:base.
inline std::vector<TTestCase> ReadCatalog(const std::filesystem::path& catalog) {
  std::vector<TTestCase> cases;
  std::vector<std::string> bases{catalog.parent_path().string() + "/"};
  std::map<std::string, std::string> attributes;
  std::vector<std::string> resolvedBases;  // folder of each external catalog being read
  TXpParser parser;
  parser.OnAttribute = [&](TXpComponent*, const WideString& name, const WideString& value, bool) {
    attributes[XpWideToUtf8(name)] = XpWideToUtf8(value);
  };
  parser.OnStartElement = [&](TXpComponent*, const WideString& name) {
    std::string base = bases.back();
    auto xmlBase = attributes.find("xml:base");
    if (xmlBase != attributes.end()) base += xmlBase->second.substr(0, xmlBase->second.rfind('/') + 1);
    bases.push_back(base);
    if (name == u"TEST" && Selected(attributes) && attributes["TYPE"] != "error")
      cases.push_back({attributes["ID"], attributes["TYPE"], base + attributes["URI"]});
    attributes.clear();
  };
  parser.OnEndElement = [&](TXpComponent*, const WideString&) { bases.pop_back(); };
  if (!parser.ParseDataSource(XpUtf8ToWide(catalog.string()))) {
    for (const WideString& line : parser.Errors()) std::cerr << XpWideToUtf8(line) << "\n";
    throw std::runtime_error("cannot read the catalog " + catalog.string());
  }
  return cases;
}

// One case id and its reason a line; '#' starts a comment line.
inline std::map<std::string, std::string> ReadDeviations(const std::string& path) {
  std::map<std::string, std::string> deviations;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t blank = line.find(' ');
    deviations[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
  }
  return deviations;
}

// Unpacks the suite into a fresh work folder; answers its catalog.
inline std::filesystem::path Unpack(const std::string& zip, const std::string& work) {
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(work);
  std::string unzip = "unzip -q -o '" + zip + "' -d '" + work + "'";
  if (std::system(unzip.c_str()) != 0) throw std::runtime_error("cannot unpack " + zip);
  return std::filesystem::path(work) / "xmlconf" / "xmlconf.xml";
}

}  // namespace xmlsuite
