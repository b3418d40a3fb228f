// A private registry store for one test: a fresh folder of its own (so tests
// running in parallel never share a store), selected through OXLIB_REGISTRY
// while the object lives and removed with everything in it afterwards. Outside
// such a test the whole test program still has a store of its own, so nothing
// it runs (the logger's start-up included) reaches the user's real registry.
#pragma once

#include <string>

class TempRegistry {
public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    // The store file (it does not exist until something writes).
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }
    // Points OXLIB_REGISTRY at another file of this folder.
    std::string use(const std::string& fileName);

private:
    std::string folder_;
    std::string path_;
    std::string previous_; // OXLIB_REGISTRY before this store
};

// The whole content of a file ("" when it cannot be read).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
