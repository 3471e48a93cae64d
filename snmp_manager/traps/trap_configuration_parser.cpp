// The two passes over the trap configuration file: the first counts the lines of
// each kind, the second fills the arrays sized by those counts.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "trap_configuration.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/text_files.h"

TRC_UNIT();

const char TrapFieldNotDefined[] = "Not Defined";

namespace zevs {

namespace {

constexpr size_t kMaxLineLength = 1023;
constexpr size_t kMaxDescriptionLength = 255;
constexpr char kDescriptionUnavailable[] = "Description unavailable";

const char* const kDefaultCategories[] = {
    "Threshold Events",        "NetworkTopology Events", "Error Events",    "Status Events", "Configuration Events",
    "ApplicationAlert Events", "All Category Events",    "Log Only Events", "Map Events",    "Ignore Events"};
const char* const kDefaultSeverities[] = {"Cleared", "Indeterminate", "Warning", "Minor error", "Critical", "Major"};
const char* const kDefaultStatuses[] = {"Unchanged", "Unknown",     "Up",    "Marginal", "Down",
                                        "Unmanaged", "Acknowledge", "User1", "User2"};
const TrapSource kDefaultSources[] = {
    {"a", "Application"},  {"A", "Agent"},          {"C", "xnmcollect"},
    {"d", "Demo"},         {"D", "Data Collector"}, {"E", "nvevents"},
    {"I", "IPmap"},        {"L", "LoadMIB"},        {"m", "shpmon"},
    {"M", "IP topology"},  {"n", "netmon related"}, {"N", "netmon-generated traps"},
    {"O", "OSI SA"},       {"P", "Non-IP traps"},   {"r", "tralertd"},
    {"s", "spappld"},      {"S", "Security Agent"}, {"t", "xnmtrap"},
    {"T", "trapd"},        {"V", "Vendor related"}, {"?", "Unknown"}};

enum class LineKind { comment, category, severity, sourceId, status, other };

struct Word {
  size_t start;
  std::string text;
};

// The blank-delimited words of the text (a run of blanks is one separator).
std::vector<Word> Words(const std::string& text) {
  std::vector<Word> words;
  size_t at = 0;
  while (at < text.size()) {
    at = text.find_first_not_of(' ', at);
    if (at == std::string::npos) break;
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    words.push_back({at, text.substr(at, end - at)});
    at = end;
  }
  return words;
}

bool BeginsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// atoi's reading of a word, held within int's range.
int32_t Number(const std::string& word) {
  errno = 0;
  long value = std::strtol(word.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int32_t>(value);
}

// The text from `from` to the next double quote, or to the end.
std::string ToQuote(const std::string& line, size_t from) {
  if (from >= line.size()) return "";
  size_t quote = line.find('"', from);
  return line.substr(from, quote == std::string::npos ? std::string::npos : quote - from);
}

// Comments and ACTION lines take part in neither pass, and the section words are
// whole first words in both, so the slots counted are the slots the parse fills.
LineKind KindOf(const std::string& line, const std::vector<Word>& words, const TrapSectionKeywords& keywords) {
  if (BeginsWith(line, "#") || BeginsWith(line, "ACTION") || words.empty()) return LineKind::comment;
  const std::string& first = words[0].text;
  if (first == keywords.category) return LineKind::category;
  if (first == keywords.severity) return LineKind::severity;
  if (first == keywords.sourceId) return LineKind::sourceId;
  if (first == keywords.status) return LineKind::status;
  return LineKind::other;
}

// Reads the file's lines in turn; a line over the limit is passed by, whole.
class LineReader {
 public:
  explicit LineReader(FILE* file) : file_(file) {}
  bool next(std::string* line) {
    bool tooLong = false;
    while (zev0::NextTextLine(file_, line, kMaxLineLength, &tooLong)) {
      if (!tooLong) return true;
      TRC(TRC_ERROR, "*****Trap configuration line longer than %d characters skipped", static_cast<int>(kMaxLineLength));
    }
    return false;
  }

 private:
  FILE* file_;
};

void CountLines(FILE* file, const TrapSectionKeywords& keywords, TrapConfigurationBlock* block) {
  LineReader reader(file);
  std::string line;
  while (reader.next(&line)) {
    std::vector<Word> words = Words(line);
    switch (KindOf(line, words, keywords)) {
      case LineKind::comment: break;
      case LineKind::category: ++block->categoryCount; break;
      case LineKind::severity: ++block->severityCount; break;
      case LineKind::sourceId: ++block->sourceCount; break;
      case LineKind::status: ++block->statusCount; break;
      case LineKind::other: {
        size_t brace = line.find('{');
        if (brace == std::string::npos) break;
        if (Words(line.substr(brace)).size() < 2)
          ++block->enterpriseCount;
        else
          ++block->specificationCount;
        break;
      }
    }
  }
}

template <size_t N>
void UseDefault(std::vector<TrapSlot>* slots, int32_t* count, const char* const (&table)[N], const char* what) {
  if (*count > 0) {
    slots->assign(*count, std::nullopt);
    return;
  }
  TRC(TRC_DETAIL, "-----Default %s assumed", what);
  slots->assign(std::begin(table), std::end(table));
  *count = static_cast<int32_t>(N);
}

class Parser {
 public:
  Parser(FILE* file, const TrapSectionKeywords& keywords, TrapConfigurationBlock* block)
      : reader_(file), keywords_(keywords), block_(block) {}

  void run() {
    std::string line;
    while (reader_.next(&line)) {
      TRC(TRC_DETAIL, "SNMPCNFG -> %s", line.c_str());
      std::vector<Word> words = Words(line);
      switch (KindOf(line, words, keywords_)) {
        case LineKind::comment: break;
        case LineKind::category: numbered(line, words, &block_->categories); break;
        case LineKind::severity: numbered(line, words, &block_->severities); break;
        case LineKind::status: numbered(line, words, &block_->statuses); break;
        case LineKind::sourceId: source(words); break;
        case LineKind::other:
          if (words.size() < 2 || words[1].text[0] != '{') break;
          if (words.size() < 3) {
            enterprise(words);
          } else if (!trapEntry(line, words)) {
            return;  // the end of the file came before the description
          }
          break;
      }
    }
  }

 private:
  // "KEYWORD number "name"": the name goes to its number's slot.
  static void numbered(const std::string& line, const std::vector<Word>& words, std::vector<TrapSlot>* slots) {
    if (words.size() < 2) return;
    int32_t number = Number(words[1].text);
    if (number < 0 || number >= static_cast<int32_t>(slots->size())) return;
    size_t quote = line.find('"', words[1].start + words[1].text.size());
    if (quote == std::string::npos) return;
    (*slots)[number] = ToQuote(line, quote + 1);
  }

  // "SOURCEID id "text"": the text is the word after the id, so it ends at a blank.
  void source(const std::vector<Word>& words) {
    if (words.size() < 2 || static_cast<int32_t>(block_->sources.size()) >= block_->sourceCount) return;
    std::string text = words.size() > 2 ? ToQuote(words[2].text, 1) : "";
    block_->sources.push_back({words[1].text, text});
  }

  static std::string BracedOID(const std::string& word) { return word.substr(1, word.find('}') - 1); }

  void enterprise(const std::vector<Word>& words) {
    if (static_cast<int32_t>(block_->enterprises.size()) >= block_->enterpriseCount) return;
    block_->enterprises.push_back({BracedOID(words[1].text), words[0].text});
  }

  // "name {oid} generic specific source severity status "category"", then its
  // description block. False when the file ended before the description began.
  bool trapEntry(const std::string& line, const std::vector<Word>& words) {
    TrapSpecification spec;
    spec.name = words[0].text;
    spec.enterpriseOID = BracedOID(words[1].text);
    spec.generic = Number(words[2].text);
    if (words.size() > 3) spec.specific = Number(words[3].text);
    if (words.size() > 4) spec.sourceText = sourceText(words[4].text);
    if (words.size() > 5) severity(words[5].text, &spec);
    if (words.size() > 6) {
      int32_t status = Number(words[6].text);
      if (status >= 0 && status < static_cast<int32_t>(block_->statuses.size()) && block_->statuses[status])
        spec.statusText = *block_->statuses[status];
      category(line, words[6], &spec);
    }
    bool described = description(&spec.description);
    if (static_cast<int32_t>(block_->specifications.size()) < block_->specificationCount)
      block_->specifications.push_back(std::move(spec));
    return described;
  }

  std::string sourceText(const std::string& id) const {
    for (const TrapSource& source : block_->sources)
      if (source.id == id) return source.text;
    return TrapFieldNotDefined;
  }

  void severity(const std::string& word, TrapSpecification* spec) const {
    int32_t number = Number(word);
    if (number < 0 || number >= static_cast<int32_t>(block_->severities.size())) return;
    spec->severity = number;
    if (block_->severities[number]) spec->severityText = *block_->severities[number];
  }

  // The rest of the line after the status, its opening quote dropped, to the next quote.
  void category(const std::string& line, const Word& status, TrapSpecification* spec) const {
    size_t rest = line.find_first_not_of(' ', status.start + status.text.size());
    if (rest == std::string::npos) return;
    spec->categoryText = ToQuote(line, rest + 1);
    for (const TrapSlot& slot : block_->categories)
      if (slot && *slot == spec->categoryText) return;
    TRC(TRC_DETAIL, "New category %s added to trap specification", spec->categoryText.c_str());
  }

  // The lines up to SDESC are passed by; those up to EDESC are the description, of
  // which the first sentence (at most 255 characters) is kept. False at the end of
  // the file before SDESC.
  bool description(std::string* text) {
    text->clear();
    std::string line;
    bool begun = false;
    while (!begun) {
      if (!reader_.next(&line)) {
        *text = kDescriptionUnavailable;
        return false;
      }
      begun = BeginsWith(line, "SDESC");
    }
    while (reader_.next(&line) && !BeginsWith(line, "EDESC")) {
      line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }),
                 line.end());
      if (line.empty()) break;
      if (line.back() != ' ') line.push_back(' ');
      size_t room = kMaxDescriptionLength - text->size();
      bool fits = line.size() <= room;
      text->append(line, 0, room);
      size_t period = text->find('.');
      if (period != std::string::npos) {
        text->resize(period + 1);
        break;
      }
      if (!fits) break;
    }
    if (text->empty()) *text = kDescriptionUnavailable;
    return true;
  }

  LineReader reader_;
  const TrapSectionKeywords& keywords_;
  TrapConfigurationBlock* block_;
};

void NameEnterprises(TrapConfigurationBlock* block) {
  for (TrapSpecification& spec : block->specifications)
    for (const TrapEnterprise& enterprise : block->enterprises)
      if (enterprise.oid == spec.enterpriseOID) {
        spec.enterpriseName = enterprise.name;
        break;
      }
}

}  // namespace

TrapSectionKeywords TrapSectionKeywordsFromEnvironment() {
  TrapSectionKeywords keywords;
  keywords.category = ZEV0_GetEnv("ZEVP_SNMP_TRAPCNFG_CATEGORY", "CATEGORY");
  keywords.severity = ZEV0_GetEnv("ZEVP_SNMP_TRAPCNFG_SEVERITY", "SEVERITY");
  keywords.sourceId = ZEV0_GetEnv("ZEVP_SNMP_TRAPCNFG_SOURCEID", "SOURCEID");
  keywords.status = ZEV0_GetEnv("ZEVP_SNMP_TRAPCNFG_STATUS", "STATUS");
  return keywords;
}

TrapConfigurationBlock ParseTrapConfiguration(FILE* file, const TrapSectionKeywords& keywords) {
  TrapConfigurationBlock block;
  CountLines(file, keywords, &block);
  TRC(TRC_DETAIL,
      "Allocated TrapConfigurationBlock @%p size %d Category size %d Enterprise size %d TrapSpec size %d SourceID "
      "size %d Status size %d",
      static_cast<void*>(&block), static_cast<int>(sizeof(block)), block.categoryCount, block.enterpriseCount,
      block.specificationCount, block.sourceCount, block.statusCount);
  UseDefault(&block.categories, &block.categoryCount, kDefaultCategories, "trap category");
  UseDefault(&block.severities, &block.severityCount, kDefaultSeverities, "trap severity");
  UseDefault(&block.statuses, &block.statusCount, kDefaultStatuses, "trap status");
  if (block.sourceCount == 0) {
    TRC(TRC_DETAIL, "-----Default source type assumed");
    block.sources.assign(std::begin(kDefaultSources), std::end(kDefaultSources));
    block.sourceCount = static_cast<int32_t>(block.sources.size());
  }

  std::rewind(file);
  Parser(file, keywords, &block).run();

  int32_t filled = static_cast<int32_t>(block.specifications.size());
  if (filled < block.specificationCount) {
    TRC(TRC_ERROR, "*****WARNING: %d trap not loaded or skipped", block.specificationCount - filled);
    block.specificationCount = filled;
  }
  NameEnterprises(&block);
  return block;
}

}  // namespace zevs
