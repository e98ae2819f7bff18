#include "BrowserContract.h"
#include "FakeBrowserControl.h"

#include <QtTest>

// The contract, run on the platform double.
namespace {

class FakeHarness : public ContractHarness
{
public:
    FakeHarness() : m_control(std::make_unique<FakeBrowserControl>(m_web)) {}

    BrowserControl &control() override { return *m_control; }
    std::unique_ptr<BrowserControl> createControl() override
    {
        return std::make_unique<FakeBrowserControl>(m_web);
    }

    QUrl serve(const QString &path, const ServedResponse &response) override
    {
        const QUrl url(QStringLiteral("http://127.0.0.1:8080") + path);
        const QString body = QString::fromUtf8(response.body);
        if (response.status >= 300 && response.status < 400)
            m_web.serve(url, FakeResponse::redirect(response.redirectTo, response.status));
        else if (response.status >= 400)
            m_web.serve(url, FakeResponse::error(response.status, body));
        else
            m_web.serve(url, FakeResponse::page(body));
        return url;
    }

    QList<ServedRequest> requests(const QString &path) override
    {
        QList<ServedRequest> result;
        for (const FakeRequest &request : m_web.requests()) {
            if (request.url.path() != path)
                continue;
            ServedRequest served;
            served.method = request.method;
            served.path = path;
            served.body = request.body;
            for (const HeaderLine &line : request.headers)
                served.headers.append({line.name, line.value});
            result.append(served);
        }
        return result;
    }

    bool waitFor(const std::function<bool()> &condition) override
    {
        for (int turn = 0; turn < 50 && !condition(); ++turn) {
            m_web.settle();
            QCoreApplication::processEvents();
        }
        return condition();
    }

    void click(BrowserControl &control, const QString &elementId, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers, int frameIndex) override
    {
        QVERIFY(fake(control).click(elementId, button, modifiers, frameIndex));
    }
    void contextClick(BrowserControl &control, const QString &elementId) override
    {
        fake(control).contextClick(elementId);
    }
    void pressKey(BrowserControl &control, int qtKey, Qt::KeyboardModifiers modifiers,
                  const QString &text) override
    {
        fake(control).pressKey(qtKey, modifiers, text);
    }
    void wheel(BrowserControl &control, const QString &elementId, int delta,
               Qt::KeyboardModifiers modifiers) override
    {
        fake(control).wheel(elementId, delta, modifiers);
    }
    void runPageScript(BrowserControl &control, PageScript script, const QString &argument) override
    {
        FakeBrowserControl &c = fake(control);
        switch (script) {
        case PageScript::OpenPopup:
            c.scriptOpenWindow(QUrl(argument), false, WindowDisposition::Popup);
            break;
        case PageScript::DocumentWrite:
            c.scriptDocumentWrite(argument);
            break;
        case PageScript::CloseWindow:
            (void)c.scriptClose();
            break;
        case PageScript::SetLocation:
            c.scriptNavigate(QUrl(argument));
            break;
        case PageScript::SwallowKeys:
            c.scriptSwallowKeys();
            break;
        }
    }

    void selectContents(BrowserControl &control, const QString &elementId, int frameIndex) override
    {
        fake(control).fakeDocument().selectContents(elementId, frameIndex);
    }
    QString frameProbe(BrowserControl &control, int frameIndex, FrameProbe probe) override
    {
        FakeDom *dom = fake(control).fakeDocument().frameDom(frameIndex);
        if (!dom || !dom->body())
            return QString();
        if (probe == FrameProbe::BodyZoom)
            return dom->body()->style(QStringLiteral("zoom"));
        QStringList texts;
        for (DomNode *font : dom->document()->getElementsByTagName(QStringLiteral("font")))
            texts.append(font->textContent());
        return texts.join(u'|');
    }

private:
    static FakeBrowserControl &fake(BrowserControl &control)
    {
        return dynamic_cast<FakeBrowserControl &>(control);
    }

    FakeWeb m_web;
    std::unique_ptr<FakeBrowserControl> m_control;
};

} // namespace

class TestBrowserContractFake : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    SKL_CONTRACT_SLOTS

private:
    static void run(void (*check)(ContractHarness &))
    {
        FakeHarness harness;
        check(harness);
    }
};

QTEST_GUILESS_MAIN(TestBrowserContractFake)
#include "test_browser_contract_fake.moc"
