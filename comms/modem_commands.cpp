#include "comms/modem_commands.h"

#include "comms/comms_engine.h"

std::string modemInitCommand(std::string_view initString) {
    std::string command;
    if (initString.empty())
        command = "AT";
    else if (initString.substr(0, 2) != "AT")
        command = "AT ";
    command += initString;
    command += '\r';
    return command;
}

std::string modemDialCommand(std::string_view number) {
    std::string command = "ATDT";
    command += number;
    command += '\r';
    return command;
}

ModemAnswer readModemAnswer(const std::uint8_t* response, int length) {
    ModemAnswer answer;
    if (response && length > 0)
        answer.text.assign(reinterpret_cast<const char*>(response),
                           static_cast<std::size_t>(length));
    const std::size_t crlf = answer.text.find("\r\n");
    if (crlf == std::string::npos)
        return answer;
    const std::size_t start = crlf + 2;
    const std::size_t end = answer.text.find_first_of("\r\n", start);
    answer.line = answer.text.substr(start, end == std::string::npos ? end : end - start);
    if (start < answer.text.size())
        answer.resultChar = answer.text[start];
    return answer;
}

int CEngineModemJobs::queueModemCommand(std::uint8_t* command, std::uint16_t* length,
                                        std::uint8_t* response, std::uint16_t* responseLength,
                                        WindowHandle notifyWindow) {
    return engine_.queueJob(JobType::ModemCommand, command, length, response, responseLength,
                            notifyWindow);
}

void CEngineModemJobs::abortCurrentJob() {
    engine_.abortCurrentJob();
}
