// spauth: tells administrators, before anyone is refused, who may do what.
// It evaluates the front end's own rule table with the same evaluator.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "SP_auth/internal.h"
#include "admin.h"
#include "log.h"
#include "policy/policy.h"

using policy::Function;

namespace {

constexpr const char *kUsage =
    "usage: spauth check USER [CLUSTER]\n"
    "       spauth profile USER\n"
    "       spauth nextuid\n"
    "       spauth verify [--json] [--root DIR] [--registry-file FILE]\n"
    "       spauth log [--user USER] [--function GLOB] [--cluster CLUSTER]\n"
    "                  [--refused] [--status N] [--host HOST] [--since TIME]\n"
    "                  [--until TIME] [--untrusted] [--json | --stats]\n"
    "                  [--follow] [--cursor-file FILE]\n"
    "                  [--directory DIR | --file FILE... | --syslog FILE...]\n"
    "       spauth --help | --version\n";

std::vector<std::string> registered_clusters() {
	std::vector<std::string> names;
	for (std::string &cluster :
	     spauth::registry_clusters(spauth::kRegistryDir))
		if (ValidateCluster(cluster.c_str()) == 0)
			names.push_back(std::move(cluster));
	return names;
}

// The terms of rule_text that up satisfies, each evaluated on its own.
std::vector<std::string> satisfied(user_profile *up,
                                   const std::string &rule_text) {
	std::vector<std::string> terms;
	for (std::string_view term : spauth::split(rule_text, ':')) {
		std::string t(term);
		if (check_authority(up, t.data()) != 0)
			terms.push_back(t);
	}
	return terms;
}

// A term, with what grants through it: a C term, its cluster's
// administrative group.
std::string explained(const std::string &term) {
	std::string group;
	if (term.starts_with("C=") &&
	    spauth::c_term_group(spauth::kRegistryDir,
	                         std::string_view(term).substr(2), group))
		return term + " through its administrative group " + group;
	return term;
}

// The verdict of one function, and of one cluster where it takes one.
std::string verdict(user_profile *up, const Function &f,
                    const std::string &cluster) {
	if (f.rule == nullptr)
		return policy::mup_marker_ok()
		           ? std::string("permitted: marker ") +
		                 policy::kMupMarker + " passes now"
		           : std::string("refused: marker ") +
		                 policy::kMupMarker + " fails now";
	// The front end refuses such names before its rule.
	if (!policy::cluster_name_fits(cluster, f))
		return "refused: invalid cluster name";
	if (f.exception != nullptr && up->uid == f.exception->uid)
		return std::string("permitted: ") + f.exception->grant;
	std::string text = policy::format_rule(*f.rule, cluster);
	if (check_authority(up, text.data()) == 0)
		return "refused";
	std::string grounds;
	for (const std::string &term : satisfied(up, text))
		grounds.append(grounds.empty() ? "" : ", ")
		    .append(explained(term));
	return "permitted: " + grounds;
}

void check_one(user_profile *up, const Function &f,
               const std::string &cluster) {
	std::string where = policy::takes_cluster(f) ? " " + cluster : "";
	print_line(f.name + where + ": " + verdict(up, f, cluster));
}

int check(user_profile *up, int argc, char **argv) {
	std::vector<std::string> clusters;
	if (argc == 4) {
		if (ValidateCluster(argv[3]) != 0) {
			fprintf(stderr,
			        "spauth: cluster %s is not registered\n",
			        spauth::escaped(argv[3]).c_str());
			return 1;
		}
		clusters.emplace_back(argv[3]);
	} else {
		clusters = registered_clusters();
	}
	for (const Function *f : policy::kFunctions) {
		if (!policy::takes_cluster(*f))
			check_one(up, *f, clusters.empty() ? "" : clusters[0]);
		else if (clusters.empty())
			printf("%s: not checked: no cluster is registered\n",
			       f->name);
		else
			for (const std::string &cl : clusters)
				check_one(up, *f, cl);
	}
	return 0;
}

// The next service uid, for useradd -u: never one outside the band.
int nextuid() {
	int uid = getNextUID();
	if (uid == 0) {
		fprintf(stderr, "spauth: cannot read %s\n",
		        spauth::kPasswdPath);
		return 1;
	}
	if (uid > spauth::kServiceUidMax) {
		fprintf(stderr,
		        "spauth: no service uid is free: %d, the last of "
		        "%d to %d, is in use\n",
		        spauth::kServiceUidMax, spauth::kServiceUidMin,
		        spauth::kServiceUidMax);
		return 1;
	}
	printf("%d\n", uid);
	return 0;
}

// The library's printout, printed as every other line.
int profile(user_profile *up) {
	std::string text;
	int rc = spauth::profile_line(spauth::kRegistryDir, up, text);
	if (rc != 0) {
		fputs("spauth: cannot search the registry\n", stderr);
		return 1;
	}
	text.pop_back();  // its newline
	print_line(text);
	return 0;
}

}  // namespace

int main(int argc, char **argv) {
	std::string_view verb = argc > 1 ? argv[1] : "";
	if (verb == "--help" && argc == 2)
		return fputs(kUsage, stdout) < 0;
	if (verb == "--version" && argc == 2)
		return printf("spauth (%s)\n", policy::kVersion) < 0;
	if (verb == "nextuid" && argc == 2)
		return nextuid();
	if (verb == "log")
		return log_verb(argc - 1, argv + 1);
	if (verb == "verify")
		return verify_command(argc - 2, argv + 2, kUsage);
	bool known = (verb == "check" && (argc == 3 || argc == 4)) ||
	             (verb == "profile" && argc == 3);
	if (!known) {
		fputs(kUsage, stderr);
		return 2;
	}
	user_profile *up = get_user_profile(SPAUTH_BY_NAME, argv[2]);
	if (up == nullptr) {
		fprintf(stderr, "spauth: unknown user %s\n",
		        spauth::escaped(argv[2]).c_str());
		return 1;
	}
	int rc = verb == "check" ? check(up, argc, argv) : profile(up);
	free_user(up);
	return rc;
}

void print_line(std::string_view text) {
	puts(spauth::escaped(text).c_str());
}
