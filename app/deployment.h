// app/deployment.h
// The contact and download addresses of the company that hands the program out. They
// are the only deployment-specific values: set them here for a customer build. The
// defaults are neutral placeholders.
#ifndef ZAN_APP_DEPLOYMENT_H
#define ZAN_APP_DEPLOYMENT_H

// The service web page: shown in the "Request service" box and opened when clicked.
const wchar_t kServiceWebAddress[] = L"www.example.com";
// The messaging contact (a chat link) offered next to the phone number.
const wchar_t kMessagingAddress[] = L"https://example.com/message";
// The service phone number shown after "Call / service: " and copied on click.
const wchar_t kServicePhone[] = L"+000 00 000 0000";
// The page behind "Download drivers".
const wchar_t kDriverDownloadPage[] = L"https://www.example.com/drivers";

#endif
