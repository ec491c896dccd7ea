// The store's tests run once per database engine: each engine's test program provides a
// backend that hands every test a fresh, empty database.
#pragma once
#include <memory>
#include <string>

#include "results/RunResult.h"
#include "results/SqlConnection.h"

namespace veska::results::test {

class Backend {
  public:
    virtual ~Backend() = default;
    /// Makes a fresh, empty database for one test.
    virtual void Create() = 0;
    /// Removes it again (every connection to it is closed by then).
    virtual void Drop() = 0;
    /// A new connection to the test's database.
    virtual std::unique_ptr<SqlConnection> Connect() = 0;
    /// The store URL of the test's database.
    virtual std::string Url() const = 0;
};

/// The engine of this test program.
Backend& TestBackend();

/// A complete result: two measurements (one without a value, one without a low limit) and
/// two files, one of them binary with zero bytes.
RunResult SampleResult(int serial, const std::string& started, Outcome outcome = Outcome::Passed);

}  // namespace veska::results::test
