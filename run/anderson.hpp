// Anderson mixing for a fixed point x = F(x): each new guess combines the last
// few images F(x_i) so that the residuals F(x_i) - x_i cancel as well as a
// least-squares fit of them allows. On a map that contracts slowly along a few
// directions (the slow soil pools of a stand over one weather cycle), it
// reaches the fixed point in a small fraction of the plain iterations
// x <- F(x), which shrink the slowest direction by its factor per step only.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

namespace vindrel {

class AndersonMixing {
 public:
  // `depth`: how many earlier steps the fit uses.
  explicit AndersonMixing(std::size_t depth) : depth_(depth) {}

  // The next guess after F(x) = fx, both in the caller's scaled coordinates.
  std::vector<double> next(const std::vector<double>& x, const std::vector<double>& fx);

  // Forgets the history: the next guess is F(x) itself.
  void restart() {
    last_x_.clear();
    last_f_.clear();
    dg_.clear();
    df_.clear();
  }

 private:
  std::size_t depth_;
  std::vector<double> last_x_;
  std::vector<double> last_f_;
  std::deque<std::vector<double>> dg_;  // differences of residuals, newest last
  std::deque<std::vector<double>> df_;  // differences of images, newest last
};

}  // namespace vindrel
