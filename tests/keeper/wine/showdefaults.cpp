// Prints what the platform reports as the six default endpoints, one line each: "flow role id".
#include <iostream>

#include "AudioEndpointService.h"
#include "LogIdentity.h"
#include "Utf8.h"

const LogIdentity programLogIdentity{"/showdefaults.txt", "***** showdefaults *****", 1};

int main() {
    using namespace keeper;
    AudioEndpointService& audio = platformAudioEndpointService();
    audio.initializeCom();
    {
        OwnedHandle<EnumeratorHandle> enumerator(audio);
        if (enumerator.adopt(audio.openDeviceEnumerator(enumerator.slot()))) {
            for (const EDataFlow flow : {eRender, eCapture}) {
                for (const ERole role : {eConsole, eMultimedia, eCommunications}) {
                    OwnedHandle<EndpointHandle> endpoint(audio);
                    std::string id = "none";
                    if (endpoint.adopt(
                            audio.getDefaultEndpoint(enumerator.get(), flow, role, endpoint.slot()))) {
                        const auto found = audio.getEndpointId(endpoint.get());
                        id = found ? toUtf8(found->c_str()) : "no-id";
                    }
                    std::cout << flow << ' ' << role << ' ' << id << '\n';
                }
            }
        }
    }
    audio.uninitializeCom();
    return 0;
}
