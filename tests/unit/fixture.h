// Throw-away directory of fixture files for the library's path seams.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

struct Fixture {
	std::string dir;
	Fixture() {
		char tmpl[] = "/tmp/spauth-test-XXXXXX";
		dir = mkdtemp(tmpl);
	}
	~Fixture() { std::filesystem::remove_all(dir); }
	std::string path(const std::string &name) const {
		return dir + "/" + name;
	}
	std::string write(const std::string &name,
	                  const std::string &text) const {
		std::filesystem::create_directories(
		    std::filesystem::path(path(name)).parent_path());
		std::ofstream(path(name), std::ios::binary) << text;
		return path(name);
	}
};
