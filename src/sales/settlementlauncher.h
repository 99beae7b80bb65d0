#pragma once
// Where the sale goes when it is paid: Enter on an empty command line settles the sale,
// a stored-value top-up settles its single line. The settlement flow implements this.

namespace vorel {

class SettlementLauncher {
public:
    virtual ~SettlementLauncher() = default;
    virtual void settleSale() = 0;
    virtual void settleTopUp() = 0;
};

} // namespace vorel
