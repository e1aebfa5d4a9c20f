#include "app/Forms.h"

#include <QtGlobal>

#include "app/Unit1.h"
#include "board/Kanshi12.h"
#include "dialogs/Keiko9.h"
#include "dialogs/Ope6.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit4.h"
#include "dialogs/Version5.h"
#include "history/Rireki11.h"
#include "import/Cookie8.h"
#include "import/Message10.h"
#include "import/Unit3.h"
#include "import/Url7.h"
#include "ui/Form.h"

static void InitResources()
{
    Q_INIT_RESOURCE(mirelo);
}

// The windows that work together meet here, so that none includes another's header.
static void WireForms()
{
    QObject::connect(Form3, &TForm3::ListChosen, Form1, &QWidget::setWindowTitle);
    QObject::connect(Form3, &TForm3::ListImported, Form1, &TForm1::ShowAuctionTitles);
    Form3->FollowUpRun = [] {
        if (Form1)
            Form1->QueueRunAnalysis();
    };

    Form12->SetRunHost({[] { return Form1 && Form1->RunActive(); },
                        [](const std::string& address) {
                            if (Form1)
                                Form1->RunAuction(address);
                        }});
    QObject::connect(Form1, &TForm1::RunStarting, Form12, &TForm12::RunStarting);
    QObject::connect(Form1, &TForm1::AuctionRead, Form12, &TForm12::MainRunRead);
    QObject::connect(Form1, &TForm1::ListChanged, Form12, &TForm12::ListChanged);
    QObject::connect(Form1, &TForm1::WindowClosing, Form12, &TForm12::Stop);
    QObject::connect(Form1->ui.B1, &QAction::triggered, Form12, [] {
        Form12->show();
        Form12->raise();
        Form12->activateWindow();
    });
}

void CreateForms()
{
    InitResources();
    Form1 = new TForm1;
    SetMainForm(Form1);
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
    Form7 = new TForm7;
    Form8 = new TForm8;
    Form9 = new TForm9;
    Form10 = new TForm10;
    Form11 = new TForm11;
    Form12 = new TForm12;
    WireForms();
}

template <typename T> static void Free(T*& form)
{
    delete form;
    form = nullptr;
}

void DestroyForms()
{
    Free(Form12);
    Free(Form11);
    Free(Form10);
    Free(Form9);
    Free(Form8);
    Free(Form7);
    Free(Form6);
    Free(Form5);
    Free(Form4);
    Free(Form3);
    Free(Form2);
    SetMainForm(nullptr);
    Free(Form1);
}
