#include "QuenlarCloudAPI/API/TQAPI.h"

#include <cxxabi.h>

#include <any>
#include <cstdlib>
#include <typeinfo>
#include <utility>

#include "QuenlarCloudAPI/API/TQDownloadFile.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/TQServerSettings.h"
#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Helper_Class/TQAPIUtility.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

// Deeper JSON is refused rather than parsed: the server's answers are untrusted, and nothing the
// service sends comes near this.
constexpr int kMaximumJSONDepth = 512;

void postOnMainQueue(std::string name, std::any object, tq::NotificationUserInfo userInfo = {}) {
  tq::mainQueue().async(
      [name = std::move(name), object = std::move(object), userInfo = std::move(userInfo)] {
        tq::NotificationCenter::defaultCenter().post(name, object, userInfo);
      });
}

void postMessage(std::string message) {
  postOnMainQueue(TQAPIInfoMessageLogNotification, std::any(std::move(message)));
}

// The completion notification is queued before the handler runs, so that whatever the handler
// queues on the main queue (the host's report) comes after it.
void deliverOutcome(const std::shared_ptr<tq::URLSessionTask>& task,
                    const std::shared_ptr<TQAPIQueryResponse>& response,
                    const TQAPICompletionHandler& handler) {
  postOnMainQueue(TQAPICompleteNotification, std::any(task),
                  {{TQAPIQueryResponseKey, std::any(response)}});
  handler(response);
}

bool exceedsDepth(std::string_view text, int limit) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) {
        return true;
      }
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

}  // namespace

TQAPI::TQAPI(Key /*key*/) {}

std::string TQAPI::demangledName(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string result = (status == 0 && name != nullptr) ? name : type.name();
  std::free(name);  // NOLINT(cppcoreguidelines-no-malloc): allocated by the demangler
  return result;
}

TQAPI::~TQAPI() {
  removeDownloadFile();
  postMessage("API released: " + className_);
}

void TQAPI::initialise(const std::string& className, std::shared_ptr<TQAPIParams> params,
                       bool announce) {
  auto baseURL = getServerBaseURL();
  {
    std::lock_guard lock(mutex_);
    className_ = className;
    apiParams_ = std::move(params);
    requestMethod_ = "GET";
    serverBaseURL_ = std::move(baseURL);
    apiResponse_ = std::make_shared<TQAPIQueryResponse>();
  }
  if (announce) {
    postMessage("API started: " + className_);
  }
}

void TQAPI::prepareQuery() { throwAbstractMethodsException(); }

TQAPIResponseOperationFactory TQAPI::apiResponseOperationClass() const {
  return [] { return std::make_shared<TQAPIResponseOperation>(); };
}

std::optional<tq::JSON> TQAPI::serverSettings() { return TQServerSettings::read(); }

std::optional<std::string> TQAPI::getServerBaseURL() {
  const auto settings = serverSettings();
  if (!settings) {
    return std::nullopt;
  }
  const auto found = settings->find("ServerBaseURL");
  if (found == settings->end() || !found->is_string()) {
    return std::nullopt;
  }
  return found->get<std::string>();
}

std::string TQAPI::paramterURLString(const TQStringDictionary& parameters) {
  std::string text;
  for (const auto& [key, value] : parameters) {
    text += text.empty() ? "" : "&";
    text += key;
    text += '=';
    text += value;
  }
  return text;
}

tq::URLRequest TQAPI::urlRequest() {
  tq::URLRequest request(requestURL());
  TQStringDictionary headers;
  {
    std::lock_guard lock(mutex_);
    request.setHTTPMethod(requestMethod_);
    headers = requestHeaders_;
    if (requestBody_) {
      request.setHTTPBody(requestBody_);
    }
  }
  if (!headers.empty()) {
    for (const auto& [name, value] : headers) {
      request.addValue(value, name);
    }
    // Built outside the call's lock: it reads the facade's state and the keychain.
    request.addValue(TQAPIUtility::deviceInformationForUserAgent(), "User-Agent");
  }
  return request;
}

void TQAPI::sendAsyncRequestWithCompletionHandler(TQAPICompletionHandler completionHandler) {
  allowOneRefresh();
  start(TaskKind::Data, std::nullopt, nullptr, std::move(completionHandler));
}

void TQAPI::downloadFileWithProgressHandler(TQAPIProgressHandler progressHandler,
                                            TQAPICompletionHandler completionHandler) {
  allowOneRefresh();
  start(TaskKind::Download, std::nullopt, std::move(progressHandler), std::move(completionHandler));
}

void TQAPI::uploadFile(const tq::URL& fileURL, TQAPIProgressHandler progressHandler,
                       TQAPICompletionHandler completionHandler) {
  allowOneRefresh();
  start(TaskKind::Upload, fileURL, std::move(progressHandler), std::move(completionHandler));
}

void TQAPI::start(TaskKind kind, const std::optional<tq::URL>& uploadFile,
                  TQAPIProgressHandler progressHandler, TQAPICompletionHandler completionHandler) {
  const auto holder = TQURLSession::sharedURLSession();
  auto request = urlRequest();
  std::shared_ptr<tq::URLSessionTask> task;
  std::optional<std::string> sessionID;
  bool refused = false;
  {
    std::lock_guard lock(mutex_);
    // A cancelled call sends nothing more; checking under the lock that cancelAPI() takes means
    // a cancel either sees the task (and cancels it) or stops it being made.
    refused = cancelled_;
    if (!refused) {
      switch (kind) {
        case TaskKind::Data:
          datatask_ = holder->defaultSession()->dataTaskWithRequest(std::move(request));
          task = datatask_;
          break;
        case TaskKind::Download:
          downloadTask_ = holder->backgroundSession()->downloadTaskWithRequest(std::move(request));
          task = downloadTask_;
          sessionID = holder->backgroundSession()->configuration().identifier();
          break;
        case TaskKind::Upload:
          uploadTask_ =
              holder->backgroundSession()->uploadTaskWithRequest(std::move(request), *uploadFile);
          task = uploadTask_;
          sessionID = holder->backgroundSession()->configuration().identifier();
          break;
      }
      taskKind_ = kind;
      uploadFileURL_ = uploadFile;
      completionHandler_ = std::move(completionHandler);
      if (kind != TaskKind::Data) {
        progressHandler_ = std::move(progressHandler);
      }
    }
  }
  if (refused) {
    return;  // the handlers given here are dropped unused
  }
  adoptTask(task->taskIdentifier(), std::move(sessionID));
  // Posted before the task runs, so that on the main queue a task's start notification always
  // comes before its completion notification.
  postOnMainQueue(TQAPIStartNotification, std::any(task));
  task->resume();
}

void TQAPI::adoptTask(uint64_t identifier, std::optional<std::string> sessionID) {
  {
    std::lock_guard lock(mutex_);
    apiID_ = identifier;
    sessionID_ = std::move(sessionID);
  }
  TQAPISDK::sharedInstance()->apiArray().taskIdentityChanged(*this);
}

TQAPICompletionHandler TQAPI::takeCompletionHandler() {
  std::lock_guard lock(mutex_);
  return std::exchange(completionHandler_, nullptr);
}

void TQAPI::allowOneRefresh() {
  std::lock_guard lock(mutex_);
  refreshedSinceStart_ = false;
}

bool TQAPI::handOverToRefreshFlow(const std::shared_ptr<tq::URLSessionTask>& task,
                                  TQAPICompletionHandler& handler) {
  {
    std::lock_guard lock(mutex_);
    // Bounded: a 401 to the resent call goes to the kept handler instead of refreshing again.
    if (cancelled_ || refreshedSinceStart_) {
      return false;
    }
    refreshedSinceStart_ = true;
    completionHandlerRefreshFlow_ = handler;
    refreshProgressHandler_ = progressHandler_;
  }
  try {
    TQAPISDK::sharedInstance()->refreshSessionWithCompletionHandler(
        [self = shared_from_this(), task](
            const std::shared_ptr<TQAuthenticationResponse>& tokens,
            const std::shared_ptr<TQAPIQueryResponse>& refreshResponse) {
          self->refreshAnswered(task, tokens, refreshResponse);
        });
  } catch (const std::exception&) {
    // Nothing to refresh with (no refresh token or no client credentials): the 401 is the
    // outcome, delivered here rather than raised on the session's queue.
    std::lock_guard lock(mutex_);
    completionHandlerRefreshFlow_ = nullptr;
    refreshProgressHandler_ = nullptr;
    return false;
  }
  handler = nullptr;
  return true;
}

void TQAPI::refreshAnswered(const std::shared_ptr<tq::URLSessionTask>& firstTask,
                            const std::shared_ptr<TQAuthenticationResponse>& tokens,
                            const std::shared_ptr<TQAPIQueryResponse>& refreshResponse) {
  TQAPICompletionHandler kept;
  TQAPIProgressHandler progress;
  TaskKind kind = TaskKind::Data;
  std::optional<tq::URL> uploadFile;
  {
    std::lock_guard lock(mutex_);
    kept = std::exchange(completionHandlerRefreshFlow_, nullptr);
    progress = std::exchange(refreshProgressHandler_, nullptr);
    kind = taskKind_;
    uploadFile = uploadFileURL_;
  }
  if (!kept) {
    return;  // cancelled while the refresh ran
  }
  // Renewed only by a 200 that brought an access token: another answer, or one without a token,
  // would resend the call with the token that was just refused.
  bool renewed = false;
  if (refreshResponse && refreshResponse->statusCode() == 200) {
    const auto json = refreshResponse->jsonResponse();
    renewed = json && TQAuthenticationResponse::initWithDict(*json)->isAuthenticated();
  }
  const std::string accessToken = tokens ? tokens->accessToken() : std::string();
  if (renewed && !accessToken.empty()) {
    setRequestHeader("Authorization", "Bearer " + accessToken);
    resetOutcomeForResend();
    // Resent as the same kind of task: a download stays a download, and an upload sends its
    // file again rather than an empty body.
    start(kind, uploadFile, std::move(progress), std::move(kept));
    return;
  }
  deliverOutcome(firstTask, apiResponse(), kept);
}

void TQAPI::resetOutcomeForResend() {
  removeDownloadFile();
  std::shared_ptr<TQAPIQueryResponse> response;
  {
    std::lock_guard lock(mutex_);
    downloadFile_.reset();
    response = apiResponse_;
  }
  // Nothing of the 401 answer may reach the resend's outcome.
  response->setUrlResponse(nullptr);
  response->setResponseData(std::nullopt);
  response->setJsonResponse(nullptr);
  response->setError(std::nullopt);
  response->setDownloadedURL(std::nullopt);
}

void TQAPI::cancelAPI() {
  const auto self = weak_from_this().lock();
  std::shared_ptr<tq::URLSessionDataTask> data;
  std::shared_ptr<tq::URLSessionDownloadTask> download;
  std::shared_ptr<tq::URLSessionUploadTask> upload;
  TQAPICompletionHandler completion;
  TQAPIProgressHandler progress;
  // Also while its refresh runs: the kept handlers go, and refreshAnswered() finds none.
  TQAPICompletionHandler refreshCompletion;
  TQAPIProgressHandler refreshProgress;
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    data = std::move(datatask_);
    download = std::move(downloadTask_);
    upload = std::move(uploadTask_);
    completion = std::move(completionHandler_);
    progress = std::move(progressHandler_);
    refreshCompletion = std::move(completionHandlerRefreshFlow_);
    refreshProgress = std::move(refreshProgressHandler_);
  }
  if (download) {
    download->cancel();
  }
  if (data) {
    data->cancel();
  }
  if (upload) {
    upload->cancel();
  }
  completion = nullptr;
  progress = nullptr;
  refreshCompletion = nullptr;
  refreshProgress = nullptr;
  if (self) {
    TQAPISDK::sharedInstance()->apiArray().remove(self.get());
  }
}

bool TQAPI::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

bool TQAPI::compareSessionID(const std::optional<std::string>& sessionID) const {
  std::lock_guard lock(mutex_);
  if (!sessionID_ || sessionID_->empty()) {
    return !sessionID || sessionID->empty();
  }
  return sessionID && *sessionID == *sessionID_;
}

std::shared_ptr<const tq::JSON> TQAPI::parseData(std::string_view data) {
  if (data.empty() || exceedsDepth(data, kMaximumJSONDepth)) {
    return nullptr;
  }
  try {
    auto json = tq::JSON::parse(data, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object() && !json.is_array()) {
      return nullptr;  // also what a parse error yields ("discarded")
    }
    return std::make_shared<const tq::JSON>(std::move(json));
  } catch (const std::exception&) {
    return nullptr;
  }
}

void TQAPI::throwNilArgumentException() {
  throw TQException(NSInvalidArgumentException,
                    TQLocalizedString("All required parameters missing."));
}

void TQAPI::throwAbstractMethodsException() {
  throw TQException(TQAbstractMethodException,
                    TQLocalizedString("Method needs to be implemented by sub class"));
}

void TQAPI::throwMissingParameterException(const std::string& message) {
  const std::string format = TQLocalizedString("%@ <REQUIRED PARAMETER> is missing.");
  const auto at = format.find("%@");
  throw TQException(
      NSInvalidArgumentException,
      at == std::string::npos ? format : format.substr(0, at) + message + format.substr(at + 2));
}

const tq::URL& TQAPI::documentsDirectoryURL() {
  static const tq::URL url = tq::URL::fileURLWithPath(tq::Environment::documentsDirectory());
  return url;
}

// ---- Session events ----
// Session events change the call's outcome, which the call owns through a pointer; they are not
// const operations whatever the compiler can prove.

// NOLINTNEXTLINE(readability-make-member-function-const)
void TQAPI::didReceiveResponse(
    tq::URLSession& /*session*/, const std::shared_ptr<tq::URLSessionDataTask>& /*dataTask*/,
    const std::shared_ptr<const tq::HTTPURLResponse>& response,
    const std::function<void(tq::URLSessionResponseDisposition)>& completionHandler) {
  apiResponse()->setUrlResponse(response);
  if (completionHandler) {
    completionHandler(tq::URLSessionResponseDisposition::Allow);
  }
}

// NOLINTNEXTLINE(readability-make-member-function-const)
void TQAPI::didReceiveData(tq::URLSession& /*session*/,
                           const std::shared_ptr<tq::URLSessionDataTask>& /*dataTask*/,
                           const std::string& data) {
  apiResponse()->appendResponseData(data);
}

// NOLINTNEXTLINE(readability-make-member-function-const)
void TQAPI::didSendBodyData(tq::URLSession& /*session*/,
                            const std::shared_ptr<tq::URLSessionTask>& /*task*/, int64_t bytesSent,
                            int64_t totalBytesSent, int64_t totalBytesExpectedToSend) {
  if (const auto progress = progressHandler()) {
    progress(bytesSent, totalBytesSent, totalBytesExpectedToSend);
  }
}

// NOLINTNEXTLINE(readability-make-member-function-const)
void TQAPI::didWriteData(tq::URLSession& /*session*/,
                         const std::shared_ptr<tq::URLSessionDownloadTask>& /*downloadTask*/,
                         int64_t bytesWritten, int64_t totalBytesWritten,
                         int64_t totalBytesExpectedToWrite) {
  if (const auto progress = progressHandler()) {
    progress(bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
  }
}

void TQAPI::didFinishDownloadingToURL(
    tq::URLSession& /*session*/, const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
    const tq::URL& location) {
  placeDownloadFile(downloadTask, location);
}

void TQAPI::didCompleteWithError(tq::URLSession& /*session*/,
                                 const std::shared_ptr<tq::URLSessionTask>& task,
                                 const std::optional<tq::URLError>& error) {
  const auto response = apiResponse();
  response->setError(error);
  response->setUrlResponse(task->response());
  if (const auto data = response->responseData(); data && !data->empty()) {
    response->setJsonResponse(parseData(*data));
  }
  // Taking the handler out under the lock is what makes delivery exactly-once against cancelAPI.
  if (auto handler = takeCompletionHandler()) {
    if (response->statusCode() != 401 || !startsRefreshFlow() ||
        !handOverToRefreshFlow(task, handler)) {
      deliverOutcome(task, response, handler);
    }
  }
  TQAPIProgressHandler progress;
  {
    std::lock_guard lock(mutex_);
    progress = std::move(progressHandler_);
  }
}

// ---- Download file ----

void TQAPI::placeDownloadFile(const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                              const tq::URL& location) {
  auto file = TQDownloadFile::place(downloadTask->originalRequest().url(), location.path(),
                                    documentsDirectoryURL().path());
  if (!file) {
    return;
  }
  const auto url = tq::URL::fileURLWithPath(file->path());
  {
    std::lock_guard lock(mutex_);
    downloadFile_ = std::move(file);
  }
  apiResponse()->setDownloadedURL(url);
}

void TQAPI::removeDownloadFile() {
  std::optional<TQDownloadFile> file;
  std::shared_ptr<TQAPIQueryResponse> response;
  {
    std::lock_guard lock(mutex_);
    file = downloadFile_;
    response = apiResponse_;
  }
  const auto url = response ? response->downloadedURL() : std::nullopt;
  if (file && url) {
    file->removeIfUnchanged(url->path());
  }
}

// ---- Properties ----

std::string TQAPI::serverBaseURLText() const {
  std::lock_guard lock(mutex_);
  return serverBaseURL_.value_or("(null)");
}

std::optional<std::string> TQAPI::sessionID() const {
  std::lock_guard lock(mutex_);
  return sessionID_;
}

void TQAPI::setSessionID(std::optional<std::string> sessionID) {
  {
    std::lock_guard lock(mutex_);
    sessionID_ = std::move(sessionID);
  }
  TQAPISDK::sharedInstance()->apiArray().taskIdentityChanged(*this);
}

uint64_t TQAPI::apiID() const {
  std::lock_guard lock(mutex_);
  return apiID_;
}

void TQAPI::setApiID(uint64_t apiID) {
  {
    std::lock_guard lock(mutex_);
    apiID_ = apiID;
  }
  TQAPISDK::sharedInstance()->apiArray().taskIdentityChanged(*this);
}

std::string TQAPI::requestMethod() const {
  std::lock_guard lock(mutex_);
  return requestMethod_;
}

void TQAPI::setRequestMethod(std::string method) {
  std::lock_guard lock(mutex_);
  requestMethod_ = std::move(method);
}

std::string TQAPI::requestURLString() const {
  std::lock_guard lock(mutex_);
  return requestURLString_;
}

void TQAPI::setRequestURLString(std::string text) {
  std::lock_guard lock(mutex_);
  requestURLString_ = std::move(text);
}

std::optional<tq::URL> TQAPI::requestURL() {
  std::lock_guard lock(mutex_);
  if (!requestURL_) {
    requestURL_ = tq::URL::URLWithString(requestURLString_);
  }
  return requestURL_;
}

void TQAPI::setRequestURL(std::optional<tq::URL> url) {
  std::lock_guard lock(mutex_);
  requestURL_ = std::move(url);
}

TQStringDictionary TQAPI::requestHeaders() const {
  std::lock_guard lock(mutex_);
  return requestHeaders_;
}

void TQAPI::setRequestHeaders(TQStringDictionary headers) {
  std::lock_guard lock(mutex_);
  requestHeaders_ = std::move(headers);
}

void TQAPI::setRequestHeader(const std::string& name, std::string value) {
  std::lock_guard lock(mutex_);
  requestHeaders_.set(name, std::move(value));
}

std::optional<std::string> TQAPI::requestBody() const {
  std::lock_guard lock(mutex_);
  return requestBody_;
}

void TQAPI::setRequestBody(std::optional<std::string> body) {
  std::lock_guard lock(mutex_);
  requestBody_ = std::move(body);
}

std::optional<std::string> TQAPI::serverBaseURL() const {
  std::lock_guard lock(mutex_);
  return serverBaseURL_;
}

void TQAPI::setServerBaseURL(std::optional<std::string> url) {
  std::lock_guard lock(mutex_);
  serverBaseURL_ = std::move(url);
}

std::shared_ptr<tq::URLSessionDataTask> TQAPI::datatask() const {
  std::lock_guard lock(mutex_);
  return datatask_;
}

std::shared_ptr<tq::URLSessionDownloadTask> TQAPI::downloadTask() const {
  std::lock_guard lock(mutex_);
  return downloadTask_;
}

std::shared_ptr<tq::URLSessionUploadTask> TQAPI::uploadTask() const {
  std::lock_guard lock(mutex_);
  return uploadTask_;
}

std::shared_ptr<TQAPIParams> TQAPI::apiParams() const {
  std::lock_guard lock(mutex_);
  return apiParams_;
}

void TQAPI::setApiParams(std::shared_ptr<TQAPIParams> params) {
  std::lock_guard lock(mutex_);
  apiParams_ = std::move(params);
}

TQAPICompletionHandler TQAPI::completionHandler() const {
  std::lock_guard lock(mutex_);
  return completionHandler_;
}

void TQAPI::setCompletionHandler(TQAPICompletionHandler handler) {
  TQAPICompletionHandler previous;  // released after the lock
  std::lock_guard lock(mutex_);
  previous = std::exchange(completionHandler_, std::move(handler));
}

TQAPIProgressHandler TQAPI::progressHandler() const {
  std::lock_guard lock(mutex_);
  return progressHandler_;
}

void TQAPI::setProgressHandler(TQAPIProgressHandler handler) {
  TQAPIProgressHandler previous;  // released after the lock
  std::lock_guard lock(mutex_);
  previous = std::exchange(progressHandler_, std::move(handler));
}

std::shared_ptr<TQAPIQueryResponse> TQAPI::apiResponse() const {
  std::lock_guard lock(mutex_);
  return apiResponse_;
}

void TQAPI::setApiResponse(std::shared_ptr<TQAPIQueryResponse> response) {
  std::lock_guard lock(mutex_);
  apiResponse_ = std::move(response);
}
