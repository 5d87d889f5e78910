#include "tools/asm/layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

#include "codec/tryte.h"
#include "tools/asm/expand.h"

namespace quill::as {

namespace {

// Literal widths only grow, so passes settle unless .org, .zero or .packed values
// follow later labels in circles; this bounds that case.
constexpr int kMaxPasses = 200;
constexpr size_t kListedSymbols = 40;

// The constants of `program` in an order where each follows the constants its
// expression names. A constant defined in terms of itself can never have a value;
// that is reported to `errors`.
std::vector<size_t> order_constants(const SourceProgram& program, std::vector<Diagnostic>& errors) {
  const auto& statements = program.statements;
  std::unordered_map<std::string, size_t> index;
  for (size_t i = 0; i < statements.size(); ++i) {
    if (statements[i].kind == StatementKind::constant) index.emplace(statements[i].name, i);
  }
  enum : uint8_t { unseen, open, done };
  std::vector<uint8_t> state(statements.size(), unseen);
  std::vector<std::pair<size_t, size_t>> path;  // constants being ordered, and the next node of each to look at
  std::vector<size_t> order;
  for (size_t root = 0; root < statements.size(); ++root) {
    if (statements[root].kind != StatementKind::constant || state[root] != unseen) continue;
    state[root] = open;
    path.emplace_back(root, 0);
    while (!path.empty()) {
      const size_t i = path.back().first;
      const auto& nodes = statements[i].target.nodes;
      size_t& next = path.back().second;
      size_t needed = SIZE_MAX;
      while (next < nodes.size() && needed == SIZE_MAX) {
        const ExprNode& node = nodes[next++];
        const auto found = node.kind == ExprNode::symbol ? index.find(node.name) : index.end();
        if (found == index.end()) continue;
        if (state[found->second] == unseen) needed = found->second;
        if (state[found->second] == open) {
          errors.push_back({node.where, "'" + node.name + "' is defined in terms of itself"});
        }
      }
      if (needed != SIZE_MAX) {
        state[needed] = open;
        path.emplace_back(needed, 0);
        continue;
      }
      state[i] = done;
      order.push_back(i);
      path.pop_back();
    }
  }
  return order;
}

struct Pass {
  const SourceProgram& program;
  const AsmOptions& options;
  NameSet constants;                   // names of the source's constants
  std::vector<size_t> constant_order;  // their statements, each after those it names
  SymbolValues symbols;
  std::vector<std::vector<uint8_t>> digits;  // per statement: literal widths
  std::vector<uint64_t> address;             // per statement
  std::vector<Expansion> expansions;         // per statement, kept by the final pass
  bool changed = false;

  void set(const std::string& name, int64_t value) {
    const auto [it, inserted] = symbols.emplace(name, value);
    if (!inserted && it->second == value) return;
    it->second = value;
    changed = true;
  }

  // Runs one pass; true when something moved since the previous one.
  bool run(bool report, std::vector<Diagnostic>& errors) {
    changed = false;
    const ExpandContext context{symbols, constants, report, &errors};
    uint64_t at = options.origin;
    bool past_end_reported = false;
    for (size_t i = 0; i < program.statements.size(); ++i) {
      const Statement& s = program.statements[i];
      address[i] = at;
      if (!place_symbolic(s, at, report, errors)) {
        Expansion& e = expansions[i];
        expand_statement(s, at, digits[i], context, e);
        changed = changed || e.grew;
        at += e.trytes.size();
        if (!report) e = {};
      }
      if (at > kMemoryTrytes && report && !past_end_reported) {
        errors.push_back({s.where, "the program runs past the end of memory (64000000 trytes)"});
        past_end_reported = true;
      }
    }
    settle_constants();
    return changed;
  }

  // Constants again, each after those it names, with the addresses of this pass:
  // a chain of constants used before they are defined then settles in one pass
  // instead of one link per pass. The pass itself has reported their problems.
  void settle_constants() {
    for (const size_t i : constant_order) {
      int64_t v = 0;
      Diagnostic unused;
      const Statement& s = program.statements[i];
      if (evaluate(s.target, symbols, static_cast<int64_t>(address[i]), v, unused) == EvalStatus::ok) set(s.name, v);
    }
  }

  // Labels, constants, .org and pool names; false for statements that place trytes.
  bool place_symbolic(const Statement& s, uint64_t& at, bool report, std::vector<Diagnostic>& errors) {
    int64_t v = 0;
    const auto here = static_cast<int64_t>(at);
    std::vector<Diagnostic>* problems = report ? &errors : nullptr;
    switch (s.kind) {
      case StatementKind::label:
        set(s.name, here);
        return true;
      case StatementKind::constant:
        if (evaluate_reporting(s.target, symbols, constants, here, v, problems) == EvalStatus::ok) set(s.name, v);
        return true;
      case StatementKind::org:
        if (evaluate_reporting(s.target, symbols, constants, here, v, problems) != EvalStatus::ok) return true;
        if (v < 0 || static_cast<uint64_t>(v) > kMemoryTrytes) {
          if (report)
            errors.push_back({s.target.where, ".org address must be 0 to 64000000, not " + std::to_string(v)});
          return true;
        }
        at = static_cast<uint64_t>(v);
        return true;
      case StatementKind::pool:
        for (size_t k = 0; k < s.blocks.size(); ++k) set(s.blocks[k].name, static_cast<int64_t>(at + 20 * k));
        return false;
      default:
        return false;
    }
  }
};

std::string symbols_text(const Expansion& e) {
  std::string out;
  size_t next_break = 0;
  const size_t shown = std::min(e.trytes.size(), kListedSymbols);
  for (size_t k = 0; k < shown; ++k) {
    while (next_break < e.breaks.size() && e.breaks[next_break] < k) ++next_break;
    if (k > 0 && next_break < e.breaks.size() && e.breaks[next_break] == k) out += ' ';
    out += kSymbolAlphabet[e.trytes[k]];
  }
  if (shown < e.trytes.size()) out += " ... (" + std::to_string(e.trytes.size()) + " trytes)";
  return out;
}

// Places of the expansions, checked for overlaps, copied into the image.
void build_image(const Pass& pass, AsmResult& result, std::vector<Diagnostic>& errors) {
  std::vector<size_t> order;
  for (size_t i = 0; i < pass.expansions.size(); ++i) {
    if (!pass.expansions[i].trytes.empty()) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return pass.address[a] < pass.address[b]; });
  uint64_t end = 0;
  size_t last = 0;
  for (const size_t i : order) {
    if (pass.address[i] < end) {
      const SourceLocation& other = pass.program.statements[last].where;
      errors.push_back({pass.program.statements[i].where,
                        "address " + std::to_string(pass.address[i]) + " already holds trytes placed by " +
                            pass.program.files[other.file] + ":" + std::to_string(other.line)});
    }
    if (pass.address[i] + pass.expansions[i].trytes.size() > end) {
      end = pass.address[i] + pass.expansions[i].trytes.size();
      last = i;
    }
  }
  if (!errors.empty() || end > kMemoryTrytes) return;
  result.image.assign(end, symbol_value('.'));
  result.first_address = order.empty() ? pass.options.origin : pass.address[order.front()];
  for (const size_t i : order) {
    std::copy(pass.expansions[i].trytes.begin(), pass.expansions[i].trytes.end(),
              result.image.begin() + static_cast<ptrdiff_t>(pass.address[i]));
  }
}

void build_listing(const Pass& pass, AsmResult& result) {
  const auto& statements = pass.program.statements;
  for (size_t i = 0; i < statements.size(); ++i) {
    const SourceLocation& w = statements[i].where;
    const std::string symbols = symbols_text(pass.expansions[i]);
    const bool same_line = !result.listing.empty() && result.listing.back().line == w.line &&
                           result.listing.back().file == pass.program.files[w.file];
    if (same_line) {
      std::string& s = result.listing.back().symbols;
      s += (s.empty() || symbols.empty() ? "" : " ") + symbols;
      continue;
    }
    const auto& lines = pass.program.file_lines[w.file];
    // The argument blocks of host calls that no .pool placed follow the last line.
    const std::string source = w.line >= 1 && w.line <= lines.size() ? lines[w.line - 1] : "(argument blocks)";
    result.listing.push_back({pass.address[i], symbols, pass.program.files[w.file], w.line, source});
  }
}

// Where the datum or instruction starting at break `k` of statement `s` was written:
// a data directive's values each at their own column (a host call's argument block
// at the call's x and y), everything else at the statement.
SourceLocation place_of_piece(const Statement& s, size_t k) {
  if ((s.kind == StatementKind::cells || s.kind == StatementKind::packed) && k < s.operands.size()) {
    return s.operands[k].where;
  }
  if (s.kind == StatementKind::pool && k / 2 < s.blocks.size()) {
    return k % 2 == 0 ? s.blocks[k / 2].x.where : s.blocks[k / 2].y.where;
  }
  return s.where;
}

bool is_data(StatementKind kind) {
  switch (kind) {
    case StatementKind::cells:
    case StatementKind::packed:
    case StatementKind::raw:
    case StatementKind::text:
    case StatementKind::zero:
    case StatementKind::pool:
      return true;
    default:
      return false;
  }
}

// One placement per instruction or datum (a .raw string or a .zero fill is one).
void build_placements(const Pass& pass, AsmResult& result) {
  const auto& statements = pass.program.statements;
  for (size_t i = 0; i < statements.size(); ++i) {
    const Expansion& e = pass.expansions[i];
    const size_t pieces = e.breaks.empty() ? 1 : e.breaks.size();
    for (size_t k = 0; k < pieces; ++k) {
      const size_t start = e.breaks.empty() ? 0 : e.breaks[k];
      const size_t end = k + 1 < e.breaks.size() ? e.breaks[k + 1] : e.trytes.size();
      if (end <= start) continue;
      const SourceLocation w = place_of_piece(statements[i], k);
      result.placements.push_back({pass.address[i] + start, static_cast<uint32_t>(end - start), w.file, w.line,
                                   w.column, is_data(statements[i].kind)});
    }
  }
  std::stable_sort(result.placements.begin(), result.placements.end(),
                   [](const AsmPlacement& a, const AsmPlacement& b) { return a.address < b.address; });
  result.files = pass.program.files;
}

}  // namespace

void lay_out_program(const SourceProgram& program, const AsmOptions& options, AsmResult& result,
                     std::vector<Diagnostic>& errors) {
  const size_t n = program.statements.size();
  const size_t first = errors.size();
  Pass pass{program,
            options,
            {},
            order_constants(program, errors),
            {},
            std::vector<std::vector<uint8_t>>(n),
            std::vector<uint64_t>(n),
            std::vector<Expansion>(n),
            false};
  for (const size_t i : pass.constant_order) pass.constants.insert(program.statements[i].name);
  for (const auto& [name, value] : options.defines) pass.symbols[name] = value;
  int passes = 0;
  while (pass.run(false, errors)) {
    if (++passes == kMaxPasses) {
      errors.push_back({{},
                        "the layout does not settle: a .org, .zero or .packed value depends on later labels "
                        "in a circle"});
      return;
    }
  }
  const size_t before = errors.size();
  if (pass.run(true, errors) && errors.size() == before) {
    errors.push_back({{}, "internal error: the layout moved in its final pass"});
  }
  if (errors.size() != first) return;
  build_image(pass, result, errors);
  if (errors.size() != first) return;
  for (size_t i = 0; i < n; ++i) {
    const Statement& s = program.statements[i];
    if (s.kind == StatementKind::label) result.labels.push_back({s.name, pass.address[i]});
  }
  std::stable_sort(result.labels.begin(), result.labels.end(),
                   [](const AsmLabel& a, const AsmLabel& b) { return a.address < b.address; });
  build_listing(pass, result);
  build_placements(pass, result);
}

}  // namespace quill::as
