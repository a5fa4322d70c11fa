// The scaffold of every fuzz target: a target defines fuzz() on the input
// as bytes, writes the files the library reads through its path seams with
// put_file, and states what must hold with FUZZ_ASSERT.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

void fuzz(std::string_view in);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
	fuzz({reinterpret_cast<const char *>(data), size});
	return 0;
}

inline const std::string &scratch_dir() {
	// never destroyed: the exit handler that removes it needs it
	static const std::string *dir = [] {
		// memory-backed when there is one: a file a run
		std::string tmpl = access("/dev/shm", W_OK) == 0
		                       ? "/dev/shm/spauth-fuzz-XXXXXX"
		                       : "/tmp/spauth-fuzz-XXXXXX";
		if (mkdtemp(tmpl.data()) == nullptr)
			abort();
		atexit([] { std::filesystem::remove_all(scratch_dir()); });
		return new std::string(tmpl + "/");
	}();
	return *dir;
}

inline std::string put_file(const std::string &name, std::string_view text) {
	std::string path = scratch_dir() + name;
	FILE *f = fopen(path.c_str(), "we");
	if (f == nullptr ||
	    fwrite(text.data(), 1, text.size(), f) != text.size())
		abort();
	fclose(f);
	return path;
}

// The text a C string of these bytes holds.
inline std::string c_text(std::string_view in) {
	return std::string(in.substr(0, in.find('\0')));
}

#define FUZZ_ASSERT(cond)                                                 \
	do {                                                              \
		if (!(cond)) {                                            \
			fprintf(stderr, "assertion failed: %s\n", #cond); \
			abort();                                          \
		}                                                         \
	} while (0)
