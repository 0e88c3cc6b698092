// Shared set-up for the host tests: a clean simulated platform and the
// library's state back at the values it has when a process loads it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "board.h"
#include "d418lib.h"
#include "library_state.h"
#include "sim_platform.h"
#include "named_case.h"

void RestoreLibraryState();

class LibTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::P().Reset();
        RestoreLibraryState();
    }
    void TearDown() override { sim::P().ports = nullptr; }

    // Puts a board with this script on the simulated bus.
    sim::Board &UseBoard(sim::BoardScript script = {}) {
        board_ = std::make_unique<sim::Board>(std::move(script));
        sim::P().ports = board_.get();
        return *board_;
    }

    // Forgets what was recorded so far (after preparing calls).
    void ClearEvents() { sim::P().events.clear(); }

    std::unique_ptr<sim::Board> board_;
};

using Bytes = std::vector<uint8_t>;
