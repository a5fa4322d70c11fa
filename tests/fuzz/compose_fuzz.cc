// Every composed line parses back, by a word splitter that knows only the
// shell's own grammar, into exactly the arguments that were meant.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz.h"
#include "qeldump/handler.h"

namespace {

using namespace front;
using Words = std::vector<std::string>;

// What sh does with an unquoted byte, by its own grammar: these end a word or a
// command, quote, expand, redirect or match file names; "#" and "~" only at the
// start of a word.
constexpr std::string_view kShellSpecial = "|&;<>()$`\\\"'*?[\n";
constexpr std::string_view kWordStartSpecial = "#~";

// Splits as sh does for single quotes and blanks; a final newline ends the
// command. A byte the shell would interpret anywhere else fails.
bool sh_split(std::string_view line, Words &words) {
	if (line.ends_with('\n'))
		line.remove_suffix(1);
	std::string word;
	bool in_word = false;
	for (size_t i = 0; i < line.size(); ++i) {
		char c = line[i];
		if (c == ' ' || c == '\t') {
			if (in_word)
				words.push_back(word);
			word.clear();
			in_word = false;
		} else if (c == '\'') {
			size_t close = line.find('\'', i + 1);
			if (close == line.npos)
				return false;
			word.append(line.substr(i + 1, close - i - 1));
			i = close;
			in_word = true;
		} else if (c == '\\' && i + 1 < line.size() &&
		           line[i + 1] != '\n') {
			word.push_back(line[++i]);
			in_word = true;
		} else if (kShellSpecial.find(c) != kShellSpecial.npos ||
		           (!in_word && kWordStartSpecial.find(c) !=
		                            kWordStartSpecial.npos)) {
			return false;
		} else {
			word.push_back(c);
			in_word = true;
		}
	}
	if (in_word)
		words.push_back(word);
	return true;
}

// The words a format means: its blank-separated tokens, %s by each value.
Words meant(std::string_view fmt, const Words &values) {
	Words out;
	size_t next = 0;
	std::string tok;
	for (char c : std::string(fmt) + " ") {
		if (c != ' ' && c != '\n') {
			tok.push_back(c);
			continue;
		}
		std::string word;
		bool had_value = false;
		for (size_t i = 0; i < tok.size(); ++i) {
			if (tok.compare(i, 2, "%s") == 0) {
				word.append(values[next++]);
				had_value = true;
				++i;
			} else {
				word.push_back(tok[i]);
			}
		}
		if (!word.empty() || had_value)
			out.push_back(word);
		tok.clear();
	}
	return out;
}

void check(const std::string &line, const Words &want) {
	Words got;
	FUZZ_ASSERT(sh_split(line, got));
	FUZZ_ASSERT(got == want);
}

void split_pieces(std::string_view w, Words &out) {
	std::string piece;
	for (char c : std::string(w) + " ") {
		if (c == ' ' || c == '\t' || c == '\n') {
			if (!piece.empty())
				out.push_back(piece);
			piece.clear();
		} else {
			piece.push_back(c);
		}
	}
}

}  // namespace

// A selector byte, then up to four values separated by NULs.
void fuzz(std::string_view in) {
	if (in.empty())
		return;
	uint8_t sel = static_cast<uint8_t>(in[0]);
	Words v;
	in.remove_prefix(1);
	while (v.size() < 4) {
		v.push_back(c_text(in));
		in.remove_prefix(std::min(in.size(), v.back().size() + 1));
	}

	// An empty value is an empty argument, never a missing one.
	for (const policy::Tool *tool :
	     {&policy::kGetPanicDump, &policy::kCallnode}) {
		for (const char *args : {" %s %s", " -D %s %s %s", " %s\n"}) {
			std::string line;
			compose_line(line, *tool, {args, 4096},
			             {v[0], v[1], v[2], v[3]});
			Words want = meant(args, v);
			want.insert(want.begin(), tool->path);
			if (std::string_view(tool->account) != policy::kRoot)
				want.insert(want.begin(),
				            {"sudo", "-u", tool->account});
			check(line, want);
		}
	}

	std::string line;
	char *words[2] = {v[2].data(), v[3].data()};
	compose_cmd_line(line, sel & 1 ? "-t" : "-s", v[0], v[1],
	                 sel & 2 ? 2 : 1, words);
	Words want = {"/home/spcomm/bin/callnode", sel & 1 ? "-t" : "-s", v[0],
	              v[1]};
	split_pieces(v[2], want);
	if (sel & 2)
		split_pieces(v[3], want);
	check(line, want);

	bool dontlock = sel & 4, notee = sel & 8, fifth = sel & 16;
	compose_corvanex_line(line, dontlock, notee, v[0],
	                      fifth ? v[1].c_str() : nullptr);
	want.clear();
	if (!notee)
		want = {"/sp/prod/code/csst/bin/npTee",
		        "/sp/tmp/Corvane_log." + v[0]};
	want.push_back("/sp/prod/code/csst/bin/Corvanex.sh");
	if (dontlock)
		want.push_back("-L");
	if (notee)
		want.push_back("-t");
	want.push_back(v[0]);
	if (fifth)
		want.push_back(v[1]);
	check(line, want);
}
