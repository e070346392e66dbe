#pragma once

class Dataset;
class Prompter;

// A delivery date (Send_Date) before the order date (Order_Date) of a
// document head is most likely a slip: the user is asked before it is saved,
// when the document is new or either date was changed. False when the user
// says No.
bool confirmDeliveryDate(const Dataset& head, bool isNew, Prompter& prompter);
