#include "scan/ftp/ftp_site_login.h"

#include "app/text_helpers.h"

namespace korvane {

std::string FtpReplyMessage(std::string_view reply) {
    std::string text(reply);
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

FtpLoginOutcome LoginWithRetries(FtpConnection& connection, const FtpSite& site, UserInterface& ui,
                                 std::string_view failure_template, int max_attempts) {
    const bool interactive = ui.Interactive();
    const int limit = interactive ? max_attempts : kFtpLoginAttempts;
    for (int attempt = 1;; ++attempt) {
        std::string reply;
        if (FtpLogin(connection, site.host, "", site.user, site.password, site.port, &reply))
            return FtpLoginOutcome::kLoggedIn;
        FtpClose(connection);
        if (limit != 0 && attempt >= limit)
            return FtpLoginOutcome::kGaveUp;
        if (!interactive)
            continue;
        std::string text = FtpReplyMessage(reply);
        if (text.empty())
            text = FillTemplate(failure_template, site.host);
        if (ui.ShowMessage(DisplayText(text), MessageIcon::Stop, MessageButtons::RetryCancel) !=
            MessageAnswer::Retry)
            return FtpLoginOutcome::kCancelled;
    }
}

}  // namespace korvane
