// The document of spauth verify --json: what was audited, where and when,
// the registry's digest, and every finding and information as reported
// (findings.cc holds them), so that it and the text never disagree.
#define JSON_NOEXCEPTION
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "SP_auth/internal.h"
#include "admin.h"
#include "findings.h"
#include "sha256.h"

namespace {

using Json = nlohmann::ordered_json;
constexpr int kSchemaVersion = 1;
constexpr const char *kHostnameFile = "/etc/hostname";

// Under --root the image's own name, from its /etc/hostname; null when
// it has none, or the root could not be entered.
Json host_name(const VerifyRun &run) {
	char name[HOST_NAME_MAX + 2] = "";
	if (!run.root.empty() && !run.entered)
		return nullptr;
	if (run.root.empty()) {
		if (gethostname(name, sizeof name - 1) != 0)
			return nullptr;
		return std::string(name);
	}
	FILE *f = fopen(kHostnameFile, "re");
	bool read = f != nullptr && fgets(name, sizeof name, f) != nullptr;
	if (f != nullptr)
		fclose(f);
	std::string_view text = name;
	if (!read || text.empty() || text.back() != '\n')  // none, or over
		return nullptr;
	return std::string(text.substr(0, text.size() - 1));
}

std::string utc_now() {
	char text[32];
	time_t now = time(nullptr);
	struct tm tm;
	if (gmtime_r(&now, &tm) == nullptr ||
	    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm) == 0)
		return "";
	return text;
}

Json finding(const findings::Finding &f) {
	std::string key = std::string(f.id).append(1, '\0').append(f.place);
	return {
	    {"id", f.id},
	    {"severity", f.severity},
	    {"place", f.place},
	    {"what", f.what},
	    {"why", f.why},
	    {"fix", f.fix},
	    {"fingerprint", sha256::of(key.append(1, '\0').append(f.what))}};
}

Json counts() {
	Json c = {{"findings", findings::reported_findings().size()},
	          {findings::kCritical, 0},
	          {findings::kError, 0},
	          {findings::kWarning, 0},
	          {"info", findings::reported_infos().size()}};
	for (const findings::Finding &f : findings::reported_findings())
		c[f.severity] = c[f.severity].get<int>() + 1;
	return c;
}

}  // namespace

bool print_document(VerifyRun &run) {
	Json registry = {{"files", 0}, {"sha256", nullptr}};
	std::string digest, why;
	size_t files;
	if (run.complete && registry_digest(digest, files, why))
		registry = {{"files", files}, {"sha256", digest}};
	else if (run.complete)
		run.complete = false, run.error = why;
	Json doc = {{"schema_version", kSchemaVersion},
	            {"spauth_version", policy::kVersion},
	            {"host", host_name(run)},
	            {"time", utc_now()},
	            {"root", run.root.empty() ? "/" : run.root},
	            {"registry_file", nullptr},
	            {"complete", run.complete},
	            {"error", nullptr},
	            {"registry", registry},
	            {"counts", counts()},
	            {"findings", Json::array()},
	            {"info", findings::reported_infos()}};
	if (!run.registry_file.empty())
		doc["registry_file"] = run.registry_file;
	if (!run.error.empty())
		doc["error"] = run.error;
	for (const findings::Finding &f : findings::reported_findings())
		doc["findings"].push_back(finding(f));
	std::string text =
	    doc.dump(2, ' ', false, Json::error_handler_t::replace);
	return puts(text.c_str()) >= 0 && fflush(stdout) == 0;
}
