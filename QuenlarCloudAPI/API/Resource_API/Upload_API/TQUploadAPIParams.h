// TQUploadAPIParams: the record of an upload: where the file goes on the server (the host fills
// `path` and `name`) and what the facade learns on the way (size, checksum, the server's URLs,
// the chunk being sent). Every field starts empty, false or 0.
//
// One record serves the intent, the byte uploads and the commit. A copy made with copy() carries
// the access token alone; the copy constructor copies every field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQUploadAPIParams : public TQResourceAPIParams {
 public:
  TQUploadAPIParams() = default;
  TQUploadAPIParams(const TQUploadAPIParams&) = default;
  TQUploadAPIParams& operator=(const TQUploadAPIParams&) = default;

  // The server folder that receives the file ("/Documents").
  std::string path;
  // The file's name there.
  std::string name;
  // The local file's size in bytes.
  int64_t size = 0;
  // SHA-256 of the local file, 64 lower-case hexadecimal characters.
  std::string checkSum;
  // Whether the file goes in chunks. A host that sets it asks for the chunked road whatever the
  // size; the facade never changes the host's value.
  bool chunk = false;
  // The URL that receives the bytes, as the upload intent answered it.
  std::string uploadUrl;
  // The URL of the commit of a chunked upload, as the upload intent answered it.
  std::string commitUrl;
  // The number of the chunk a byte upload sends, counted from 1 (not a byte position).
  int32_t offset = 0;

  // In this order: the access token ("access_token"), then validateHostFields(), then an empty
  // checksum ("checksum").
  bool validateParameters() const override;

  // The fields the host supplies, in order: an empty path ("path"), an empty name ("name"), a
  // size below 1 ("size"). Raises the missing-parameter exception for the first that fails.
  void validateHostFields() const;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQUploadAPIParams>();
  }
};
