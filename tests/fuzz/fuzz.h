// Shared pieces of the fuzz targets: a scratch directory for the files the
// library reads through its path seams.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline const std::string &scratch_dir() {
	static std::string dir = [] {
		// memory-backed when there is one: the targets write a file a
		// run
		std::string tmpl = access("/dev/shm", W_OK) == 0
		                       ? "/dev/shm/spauth-fuzz-XXXXXX"
		                       : "/tmp/spauth-fuzz-XXXXXX";
		return std::string(mkdtemp(tmpl.data())) + "/";
	}();
	return dir;
}

inline std::string put_file(const std::string &name, const uint8_t *data,
                            size_t size) {
	std::string path = scratch_dir() + name;
	FILE *f = fopen(path.c_str(), "we");
	if (f == nullptr)
		abort();
	if (size > 0 && fwrite(data, 1, size, f) != size)
		abort();
	fclose(f);
	return path;
}

#define FUZZ_ASSERT(cond)                                                 \
	do {                                                              \
		if (!(cond)) {                                            \
			fprintf(stderr, "assertion failed: %s\n", #cond); \
			abort();                                          \
		}                                                         \
	} while (0)
