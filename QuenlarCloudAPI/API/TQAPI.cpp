#include "QuenlarCloudAPI/API/TQAPI.h"

#include <cxxabi.h>

#include <any>
#include <cstdlib>
#include <typeinfo>
#include <utility>

#include "QuenlarCloudAPI/API/TQDownloadFile.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/API/TQServerSettings.h"
#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Helper_Class/TQAPIUtility.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/JSONReader.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

void postOnMainQueue(std::string name, std::any object, tq::NotificationUserInfo userInfo = {}) {
  // Most hosts observe nothing; then a notification is not worth a main-queue block.
  if (!tq::NotificationCenter::defaultCenter().hasObservers(name)) {
    return;
  }
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
    request_.method = "GET";
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

TQStringDictionary TQAPI::bearerJSONHeaders(const std::string& accessToken) {
  return {{"Authorization", "Bearer " + accessToken}, {"Accept", "application/json"}};
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

tq::URLRequest TQAPI::urlRequest() const {
  Request request;
  {
    std::lock_guard lock(mutex_);
    request = request_;
  }
  if (!request.url) {
    request.url = tq::URL::URLWithString(request.urlString);
  }
  tq::URLRequest built(std::move(request.url));
  built.setHTTPMethod(std::move(request.method));
  if (!request.headers.empty()) {
    for (const auto& [name, value] : request.headers) {
      built.addValue(value, name);
    }
    // Built outside the call's lock: it reads the facade's state and the keychain.
    built.addValue(TQAPIUtility::deviceInformationForUserAgent(), "User-Agent");
  }
  if (request.body) {
    built.setHTTPBody(std::move(request.body));
  }
  return built;
}

void TQAPI::start(const TQCallStart& how, TQAPICompletionHandler completionHandler) {
  allowOneRefresh();
  startTask(how, std::move(completionHandler));
}

void TQAPI::sendAsyncRequestWithCompletionHandler(TQAPICompletionHandler completionHandler) {
  start(TQCallStart::data(), std::move(completionHandler));
}

void TQAPI::downloadFileWithProgressHandler(TQAPIProgressHandler progressHandler,
                                            TQAPICompletionHandler completionHandler) {
  start(TQCallStart::download(std::move(progressHandler)), std::move(completionHandler));
}

void TQAPI::uploadFile(const tq::URL& fileURL, TQAPIProgressHandler progressHandler,
                       TQAPICompletionHandler completionHandler) {
  start(TQCallStart::upload(fileURL, std::move(progressHandler)), std::move(completionHandler));
}

void TQAPI::startTask(const TQCallStart& how, TQAPICompletionHandler completionHandler) {
  const auto holder = TQURLSession::sharedURLSession();
  auto request = urlRequest();
  std::shared_ptr<tq::URLSessionTask> task;
  std::optional<std::string> sessionID;
  {
    std::lock_guard lock(mutex_);
    // A cancelled call sends nothing more; checking under the lock that cancelAPI() takes means
    // a cancel either sees the task (and cancels it) or stops it being made.
    if (cancelled_) {
      return;  // the handlers given here are dropped unused
    }
    switch (how.kind) {
      case TQCallStart::Kind::Data:
        datatask_ = holder->defaultSession()->dataTaskWithRequest(std::move(request));
        task = datatask_;
        break;
      case TQCallStart::Kind::Download:
        downloadTask_ = holder->backgroundSession()->downloadTaskWithRequest(std::move(request));
        task = downloadTask_;
        sessionID = holder->backgroundSession()->configuration().identifier();
        break;
      case TQCallStart::Kind::Upload:
        uploadTask_ =
            holder->backgroundSession()->uploadTaskWithRequest(std::move(request), *how.fileURL);
        task = uploadTask_;
        sessionID = holder->backgroundSession()->configuration().identifier();
        break;
    }
    started_ = true;
    taskKind_ = how.kind;
    uploadFileURL_ = how.fileURL;
    completionHandler_ = std::move(completionHandler);
    if (how.kind != TQCallStart::Kind::Data) {
      progressHandler_ = how.progressHandler;
    }
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

void TQAPI::allowOneRefresh() {
  std::lock_guard lock(mutex_);
  refreshedSinceStart_ = false;
}

std::string TQAPI::sentAccessToken() const {
  static constexpr std::string_view kBearer = "Bearer ";
  std::lock_guard lock(mutex_);
  const auto* value = request_.headers.find("Authorization");
  if (value == nullptr || value->compare(0, kBearer.size(), kBearer) != 0) {
    return {};
  }
  return value->substr(kBearer.size());
}

bool TQAPI::handOverToRefreshFlow(const std::shared_ptr<tq::URLSessionTask>& task,
                                  TQAPICompletionHandler& handler, TQAPIProgressHandler& progress) {
  {
    std::lock_guard lock(mutex_);
    // Bounded: a 401 to the resent call goes to the kept handler instead of refreshing again.
    if (cancelled_ || refreshedSinceStart_) {
      return false;
    }
    refreshedSinceStart_ = true;
    completionHandlerRefreshFlow_ = std::move(handler);
    refreshProgressHandler_ = std::move(progress);
  }
  handler = nullptr;
  progress = nullptr;
  TQAPISDK::sharedInstance()->renewSessionAfterUnauthorized(
      sentAccessToken(),
      [self = shared_from_this(), task](const std::optional<std::string>& renewedAccessToken) {
        self->refreshAnswered(task, renewedAccessToken);
      });
  return true;
}

void TQAPI::refreshAnswered(const std::shared_ptr<tq::URLSessionTask>& firstTask,
                            const std::optional<std::string>& renewedAccessToken) {
  TQAPICompletionHandler kept;
  TQAPIProgressHandler progress;
  TQCallStart how;
  {
    std::lock_guard lock(mutex_);
    kept = std::exchange(completionHandlerRefreshFlow_, nullptr);
    progress = std::exchange(refreshProgressHandler_, nullptr);
    how.kind = taskKind_;
    how.fileURL = uploadFileURL_;
    if (kept && renewedAccessToken && !renewedAccessToken->empty()) {
      request_.headers.set("Authorization", "Bearer " + *renewedAccessToken);
    }
  }
  if (!kept) {
    return;  // cancelled while the refresh ran
  }
  if (renewedAccessToken && !renewedAccessToken->empty()) {
    resetOutcomeForResend();
    // Resent as the same kind of task: a download stays a download, and an upload sends its
    // file again rather than an empty body.
    how.progressHandler = std::move(progress);
    startTask(how, std::move(kept));
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
    downloadNotPlaced_ = false;
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

bool TQAPI::claimDelivery() {
  std::lock_guard lock(mutex_);
  if (cancelled_ || deliveryClaimed_) {
    return false;
  }
  deliveryClaimed_ = true;
  return true;
}

bool TQAPI::compareSessionID(const std::optional<std::string>& sessionID) const {
  std::lock_guard lock(mutex_);
  if (!sessionID_ || sessionID_->empty()) {
    return !sessionID || sessionID->empty();
  }
  return sessionID && *sessionID == *sessionID_;
}

std::shared_ptr<const tq::JSON> TQAPI::parseData(std::string_view data) {
  try {
    auto json = tq::readJSON(data, TQJSONReading::kMaximumJSONDepth);
    if (!json || (!json->is_object() && !json->is_array())) {
      return nullptr;  // a bare value is no answer
    }
    return std::make_shared<const tq::JSON>(std::move(*json));
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
  didReceiveResponseData(*apiResponse(), data);
}

// NOLINTNEXTLINE(readability-convert-member-functions-to-static): call classes override it
void TQAPI::didReceiveResponseData(TQAPIQueryResponse& response, const std::string& piece) {
  response.appendResponseData(piece);
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
  response->setError(completionError(error));
  response->setUrlResponse(task->response());
  if (error && error->code() == tq::URLError::DataLengthExceedsMaximum) {
    // What arrived before the session stopped reading is part of an answer too large to keep.
    response->setResponseData(std::nullopt);
  } else if (const auto data = response->responseData(); data && !data->empty()) {
    response->setJsonResponse(parseData(*data));
  }
  // Both handlers leave under the lock, before a resend could install its own; taking them out
  // there is also what makes delivery exactly-once against cancelAPI.
  TQAPICompletionHandler handler;
  TQAPIProgressHandler progress;
  {
    std::lock_guard lock(mutex_);
    handler = std::exchange(completionHandler_, nullptr);
    progress = std::exchange(progressHandler_, nullptr);
  }
  if (!handler) {
    return;
  }
  if (response->statusCode() != 401 || !startsRefreshFlow() ||
      !handOverToRefreshFlow(task, handler, progress)) {
    deliverOutcome(task, response, handler);
  }
}

std::optional<tq::URLError> TQAPI::completionError(const std::optional<tq::URLError>& error) {
  if (error) {
    return error;
  }
  std::lock_guard lock(mutex_);
  // The session moved the bytes, but the host has no file to read: that is no success.
  if (downloadNotPlaced_) {
    return tq::URLError(tq::URLError::CannotCreateFile,
                        "The downloaded file could not be put in the Documents directory.");
  }
  return std::nullopt;
}

// ---- Download file ----

void TQAPI::placeDownloadFile(const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                              const tq::URL& location) {
  auto file = TQDownloadFile::place(downloadTask->originalRequest().url(), location.path(),
                                    documentsDirectoryURL().path());
  if (!file) {
    std::lock_guard lock(mutex_);
    downloadNotPlaced_ = true;
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

void TQAPI::refuseChangeLocked() const {
  if (started_) {
    throw TQException("NSInternalInconsistencyException",
                      "A call cannot be changed once it has started: " + className_);
  }
}

std::optional<std::string> TQAPI::sessionID() const {
  std::lock_guard lock(mutex_);
  return sessionID_;
}

void TQAPI::setSessionID(std::optional<std::string> sessionID) {
  {
    std::lock_guard lock(mutex_);
    refuseChangeLocked();
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
    refuseChangeLocked();
    apiID_ = apiID;
  }
  TQAPISDK::sharedInstance()->apiArray().taskIdentityChanged(*this);
}

std::string TQAPI::requestMethod() const {
  std::lock_guard lock(mutex_);
  return request_.method;
}

void TQAPI::setRequestMethod(std::string method) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  request_.method = std::move(method);
}

std::string TQAPI::requestURLString() const {
  std::lock_guard lock(mutex_);
  return request_.urlString;
}

void TQAPI::setRequestURLString(std::string text) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  request_.urlString = std::move(text);
  request_.url.reset();
}

std::optional<tq::URL> TQAPI::requestURL() const {
  std::lock_guard lock(mutex_);
  return request_.url ? request_.url : tq::URL::URLWithString(request_.urlString);
}

void TQAPI::setRequestURL(std::optional<tq::URL> url) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  request_.url = std::move(url);
}

TQStringDictionary TQAPI::requestHeaders() const {
  std::lock_guard lock(mutex_);
  return request_.headers;
}

void TQAPI::setRequestHeaders(TQStringDictionary headers) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  request_.headers = std::move(headers);
}

void TQAPI::setRequestHeader(const std::string& name, std::string value) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  request_.headers.set(name, std::move(value));
}

std::optional<std::string> TQAPI::requestBody() const {
  std::lock_guard lock(mutex_);
  return request_.body;
}

void TQAPI::setRequestBody(std::optional<std::string> body) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  request_.body = std::move(body);
}

std::optional<std::string> TQAPI::serverBaseURL() const {
  std::lock_guard lock(mutex_);
  return serverBaseURL_;
}

void TQAPI::setServerBaseURL(std::optional<std::string> url) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
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
  refuseChangeLocked();
  apiParams_ = std::move(params);
}

TQAPICompletionHandler TQAPI::completionHandler() const {
  std::lock_guard lock(mutex_);
  return completionHandler_;
}

void TQAPI::setCompletionHandler(TQAPICompletionHandler handler) {
  TQAPICompletionHandler previous;  // released after the lock
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  previous = std::exchange(completionHandler_, std::move(handler));
}

TQAPIProgressHandler TQAPI::progressHandler() const {
  std::lock_guard lock(mutex_);
  return progressHandler_;
}

void TQAPI::setProgressHandler(TQAPIProgressHandler handler) {
  TQAPIProgressHandler previous;  // released after the lock
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  previous = std::exchange(progressHandler_, std::move(handler));
}

std::shared_ptr<TQAPIQueryResponse> TQAPI::apiResponse() const {
  std::lock_guard lock(mutex_);
  return apiResponse_;
}

void TQAPI::setApiResponse(std::shared_ptr<TQAPIQueryResponse> response) {
  std::lock_guard lock(mutex_);
  refuseChangeLocked();
  apiResponse_ = std::move(response);
}
