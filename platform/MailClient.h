#pragma once
// Hands a composed e-mail to the user's mail client, which shows it for the
// user to review, change and send.

#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

struct TMailMessage {
  std::string Recipient;                 // the address, also its display name
  std::string Subject;                   // UTF-8
  std::string Body;                      // UTF-8, lines separated by "\n"
  std::vector<std::string> Attachments;  // full paths, in order
};

class EMailException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text of the error for a machine without a usable mail client.
inline constexpr const char* NoMailClientText = "There is no MAPI-enabled client on the machine";

// Returns when the mail client hands control back; a message the user then
// discards still counts as handed over. Throws EMailException with
// NoMailClientText when no mail client is set up, and with the client's
// error otherwise.
void HandToMailClient(const TMailMessage& aMessage);

}  // namespace platform
