// A small host program: makes one real request to the server at the given base URL and prints
// what came back. scripts/demo runs it against the test server.
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/Platform/URLSession.h"

namespace {

class PrintingDelegate final : public tq::URLSessionDelegate {
 public:
  std::future<void> done() { return done_.get_future(); }

  void didReceiveResponse(tq::URLSession& /*session*/,
                          const std::shared_ptr<tq::URLSessionDataTask>& /*task*/,
                          const std::shared_ptr<const tq::HTTPURLResponse>& response,
                          std::function<void(tq::URLSessionResponseDisposition)> answer) override {
    std::printf("status %d\n", response->statusCode());
    answer(tq::URLSessionResponseDisposition::Allow);
  }

  void didReceiveData(tq::URLSession& /*session*/,
                      const std::shared_ptr<tq::URLSessionDataTask>& /*task*/,
                      const std::string& data) override {
    body_ += data;
  }

  void didCompleteWithError(tq::URLSession& /*session*/,
                            const std::shared_ptr<tq::URLSessionTask>& /*task*/,
                            const std::optional<tq::URLError>& error) override {
    if (error) {
      std::printf("failed: %s\n", error->localizedDescription().c_str());
    } else {
      std::printf("body %s\n", body_.c_str());
    }
    done_.set_value();
  }

 private:
  std::string body_;
  std::promise<void> done_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s BASE_URL [WORK_DIR]\n", argv[0]);
    return 2;
  }
  const auto url = tq::URL::URLWithString(std::string(argv[1]) + "/cloud/1/account");
  if (!url) {
    std::fprintf(stderr, "not a URL: %s\n", argv[1]);
    return 2;
  }

  auto delegate = std::make_shared<PrintingDelegate>();
  auto done = delegate->done();
  auto session = tq::URLSession::sessionWithConfiguration(
      tq::URLSessionConfiguration::defaultSessionConfiguration(), delegate);
  tq::URLRequest request(url);
  request.setValue("application/json", "Accept");
  session->dataTaskWithRequest(request)->resume();
  done.wait();
  return 0;
}
