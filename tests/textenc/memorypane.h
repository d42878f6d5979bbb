#pragma once

// A pane kept in memory that records every text it stores, so a test can see each pass.

#include <string>
#include <vector>

#include "textenc/pane.h"

class MemoryPane : public Pane {
public:
    explicit MemoryPane(std::string_view text = {}) { Put(text); stored.clear(); }

    std::vector<std::string> stored;

protected:
    std::string StoredText() const override { return text_; }
    void Store(std::string_view content) override
    {
        text_ = content;
        stored.emplace_back(content);
    }

private:
    std::string text_;
};
