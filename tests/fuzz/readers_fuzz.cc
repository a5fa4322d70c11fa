// One libFuzzer target for every reader of outside text and for command
// composition, under AddressSanitizer and UBSan: the first byte routes the
// rest to the tokenizer, the account files, an authority string, a registry
// file or the composers. What each decides is proven by the unit tables
// and the end-to-end table; this proves that no input reads or writes
// outside its memory.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "SP_auth/internal.h"
#include "qeldump/handler.h"

namespace {

// Files for the readers' seams, in a directory of this process's own.
const std::string kDir = "/tmp/qel-fuzz-" + std::to_string(getpid()) + "/";

std::string put_file(const std::string &name, std::string_view text) {
	std::filesystem::create_directories(kDir);
	FILE *f = fopen((kDir + name).c_str(), "we");
	if (f == nullptr ||
	    fwrite(text.data(), 1, text.size(), f) != text.size())
		abort();
	fclose(f);
	return kDir + name;
}

// The input cut at NULs, into at least n texts.
std::vector<std::string> texts(std::string_view in, size_t n) {
	std::vector<std::string> out;
	for (size_t pos = 0; pos <= in.size() || out.size() < n;) {
		size_t nul = std::min(in.find('\0', pos), in.size());
		out.emplace_back(pos < in.size() ? in.substr(pos, nul - pos)
		                                 : "");
		pos = nul + 1;
	}
	return out;
}

// The input up to its first NUL.
std::string c_text(std::string_view in) {
	return std::string(in.substr(0, in.find('\0')));
}

void tokenizer(std::string_view in) {
	std::string text = c_text(in);
	char *start = text.data(), *end = start;
	while (get_next_pw_field(&start, ':', &end) != 0)
		start = end;
	std::vector<char> field(text.size() + 1);
	for (int count = -1; count < 8; ++count)
		getfield(text.data(), field.data(), count);
}

void accounts(std::string_view in) {
	std::vector<std::string> files = texts(in, 2);
	std::string passwd = put_file("passwd", files[0]),
	            group = put_file("group", files[1]);
	for (uid_t uid : {0u, 701u})
		free_user(spauth::get_user_profile_from(
		    passwd.c_str(), group.c_str(), SPAUTH_BY_UID, &uid));
	free_user(spauth::get_user_profile_from(passwd.c_str(), group.c_str(),
	                                        SPAUTH_BY_NAME, "ann"));
	spauth::get_next_uid_from(passwd.c_str());
}

void authority(std::string_view in) {
	static user_profile *up = [] {
		put_file("c1.conf", "ADMINGROUP=ops\n");
		auto *p = static_cast<user_profile *>(
		    calloc(1, sizeof(user_profile)));
		p->uid = 703;
		p->group = static_cast<gent *>(calloc(1, sizeof(gent)));
		strcpy(p->group->gname, "ops");
		return p;
	}();
	spauth::check_authority_in(kDir.c_str(), up, c_text(in).c_str());
}

void registry(std::string_view in) {
	put_file("cf.conf", in);
	char buffer[256] = "cf";
	spauth::get_admin_group_in(kDir.c_str(), buffer);
}

void compose(std::string_view in) {
	std::vector<std::string> v = texts(in, 4);
	std::string line;
	front::compose_line(line, policy::kGetPanicDump, {" -D %s %s %s", 512},
	                    {v[0], v[1], v[2]});
	char *words[] = {v[2].data(), v[3].data()};
	front::compose_cmd_line(line, "-s", v[0], v[1], 2, words);
	front::compose_corvanex_line(line, true, v[3].empty(), v[0],
	                             v[1].c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
	static int cleanup = atexit([] { std::filesystem::remove_all(kDir); });
	if (size == 0 || cleanup != 0)
		return 0;
	using Target = void (*)(std::string_view);
	constexpr Target kTargets[] = {tokenizer, accounts, authority, registry,
	                               compose};
	kTargets[data[0] % std::size(kTargets)](std::string_view(
	    reinterpret_cast<const char *>(data) + 1, size - 1));
	return 0;
}
