// What reports say of the rules: the extensions each kind takes, and the
// names of the naming rule's parts and of the content tests. Apart from the
// checks, so that a program that only checks does not carry them.
#include "vardek_rules.h"

std::span<const std::string_view> allowed_extensions(NameKind kind) {
  switch (kind) {
    case NameKind::response: return RESPONSE_EXTENSIONS;
    case NameKind::command: return COMMAND_EXTENSIONS;
    case NameKind::rejected: break;
  }
  return {};
}

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
