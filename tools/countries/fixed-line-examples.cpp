// Prints the example fixed-line number of every region known to Google's
// libphonenumber (Debian libphonenumber-dev), tab-separated: region, calling
// code, national number, E.164, national format. The benchmark uses these to
// see what normalisation does to numbers that are not mobile.
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <iostream>
#include <set>
#include <string>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

int main()
{
    const PhoneNumberUtil &util = *PhoneNumberUtil::GetInstance();
    std::set<std::string> regions;
    util.GetSupportedRegions(&regions);
    for (const std::string &region : regions) {
        PhoneNumber number;
        if (!util.GetExampleNumberForType(region, PhoneNumberUtil::FIXED_LINE, &number))
            continue;
        std::string national, e164, formatted;
        util.GetNationalSignificantNumber(number, &national);
        util.Format(number, PhoneNumberUtil::E164, &e164);
        util.Format(number, PhoneNumberUtil::NATIONAL, &formatted);
        std::cout << region << '\t' << number.country_code() << '\t' << national << '\t'
                  << e164 << '\t' << formatted << '\n';
    }
    return 0;
}
