// Built-in items made by the tests: a named item whose bytes a test sets, found by the loaders with
// LOAD_RESOURCE exactly as the program's own items are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Makes pszName (one of "TEST_ITEM", "TEST_ITEM2") name a copy of bytes, held in a block of exactly that
// size so that the sanitizers see any read past its end.
void SetTestItem(const char* pszName, const std::vector<uint8_t>& bytes);

// A file in the test's temporary folder holding bytes, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes);
    ~TempFile();
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
};
