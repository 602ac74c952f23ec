// The names that reports give the parts of the naming rule and the content
// tests. Apart from the checks, so that a program that only checks does not
// carry them.
#include "vardek_rules.h"

std::string_view rule_name(NameRule rule) {
  switch (rule) {
    case NameRule::none: break;
    case NameRule::directory: return "directory";
    case NameRule::stem: return "stem";
    case NameRule::extension: return "extension";
  }
  return "none";
}

std::string_view test_name(ContentTest test) {
  switch (test) {
    case ContentTest::none: break;
    case ContentTest::length: return "length";
    case ContentTest::marker: return "marker";
    case ContentTest::identification: return "identification";
    case ContentTest::timestamp_head: return "timestamp-head";
    case ContentTest::end_record: return "end-record";
  }
  return "none";
}
